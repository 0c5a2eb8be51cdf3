# Translucent filled curves over each other, with a rotated label and an arrow.
set terminal svg size 640,400 background rgb "white"
set style fill transparent solid 0.4 noborder
set title "Translucent areas"
set label "peak" at 1.6,1.05 rotate by 30
set arrow from 1.3,1.0 to 1.57,0.99 lw 1.5
plot [0:6.3] sin(x) with filledcurves y1=0 lc rgb "blue" title "sin", \
     cos(x) with filledcurves y1=0 lc rgb "red" title "cos"
