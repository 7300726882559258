hue
3bspline
0
