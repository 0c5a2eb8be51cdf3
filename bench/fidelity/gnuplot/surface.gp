# A coloured surface with hidden lines and a colour box.
set terminal svg size 640,480
set title "sin(r)/r surface"
set isosamples 40, 40
set hidden3d
set pm3d at s
set palette rgbformulae 33,13,10
unset key
splot [-8:8] [-8:8] sin(sqrt(x**2+y**2))/sqrt(x**2+y**2+1e-9)
