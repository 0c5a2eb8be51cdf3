# Two functions with a key, a grid and enhanced text, in gnuplot's default font (Arial).
set terminal svg size 640,480 enhanced
set title "Damped waves: e^{-x/4} sin(3x)"
set xlabel "x"
set ylabel "amplitude"
set grid
set key top right box
set samples 400
plot [0:12] exp(-x/4)*sin(3*x) title "e^{-x/4} sin 3x" lw 2, \
     exp(-x/4) title "envelope" dt 2 lc rgb "#808080", \
     -exp(-x/4) notitle dt 2 lc rgb "#808080"
