// Fills the picture with a checkerboard of 16-pixel squares in two colours, then lays a
// horizontal gradient over it with BlendImage (operation 1, multiply, at half strength).
var img = Document.Image, w = img.CX, h = img.CY, size = 16;
var light = new ActiveXObject("VNColor"), dark = new ActiveXObject("VNColor");
light.RGBA = 0xFFE0F0FF;
dark.RGBA = 0xFF704020;
for (var y = 0; y < h; ++y) {
  var row = new Uint32Array(w);
  for (var x = 0; x < w; ++x) row[x] = ((x / size | 0) + (y / size | 0)) % 2 ? dark.RGBA : light.RGBA;
  img.SetRow(y, row);
}
var ramp = Document.CreateImage();
ramp.Create(w, 1);
var line = new Uint32Array(w);
for (var x = 0; x < w; ++x) {
  var v = Math.round(255 * x / Math.max(w - 1, 1));
  line[x] = 0xFF000000 | (v << 16) | (v << 8) | v;
}
ramp.SetRow(0, line);
for (var y = 0; y < h; ++y) img.BlendImage(0, y, w, 1, ramp, 0, 0, 128, 0, 1);
