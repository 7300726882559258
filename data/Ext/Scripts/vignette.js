// Darkens the picture towards its corners: each colour byte scaled by 1 - 0.6 d², with d the
// distance from the centre over half the diagonal. Rows go through GetRow/SetRow for speed.
var img = Document.Image, w = img.CX, h = img.CY;
var cx = (w - 1) / 2, cy = (h - 1) / 2, r2 = cx * cx + cy * cy || 1;
for (var y = 0; y < h; ++y) {
  var row = new Uint32Array(img.GetRow(y));
  for (var x = 0; x < w; ++x) {
    var dx = x - cx, dy = y - cy, k = 1 - 0.6 * (dx * dx + dy * dy) / r2;
    var c = row[x];
    var red = (c & 0xFF) * k, green = ((c >>> 8) & 0xFF) * k, blue = ((c >>> 16) & 0xFF) * k;
    row[x] = (c & 0xFF000000) | (Math.round(blue) << 16) | (Math.round(green) << 8) | Math.round(red);
  }
  img.SetRow(y, row);
}
