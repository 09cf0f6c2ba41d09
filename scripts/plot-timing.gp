# Plots a session's frame intervals from its timing file (--timing): each
# frame's interval in milliseconds, the refresh period as a line.
#
#   gnuplot -e "timing='s1-timing.csv'" scripts/plot-timing.gp
#
# writes s1-timing.png beside it (or -e "output='plot.png'").
if (!exists("timing")) timing = "timing.csv"
if (!exists("output")) output = timing[1:strlen(timing) - 4] . ".png"
set terminal png size 800,400
set output output
set datafile separator ","
set title "Frame intervals: " . timing noenhanced
set xlabel "frame"
set ylabel "interval (ms)"
set key top right
# Rows start with a digit; the first has no interval.
plot timing every ::1 using 1:2 with lines lc rgb "black" title "interval", \
     1000.0 / 60 with lines dt 2 lc rgb "#909090" title "16.667 ms (60 Hz)"
