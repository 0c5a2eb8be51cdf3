# The interactive form: scripts, a hidden tooltip box and a hypertext point.
set terminal svg mouse standalone size 600,400
set title "Mouse-enabled SVG (standalone)"
set xrange [0:10]
plot sin(x) title "sin(x)" lw 2, \
     '-' using 1:2:3 with labels hypertext point pt 7 ps 2 title "points"
2 0.9 "first point"
5 -0.9 "second point"
8 0.98 "third point"
e
