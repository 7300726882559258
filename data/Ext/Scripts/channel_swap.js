// Swaps the red and blue channels (colours are 0xAABBGGRR: red in the lowest byte).
var img = Document.Image, w = img.CX, h = img.CY;
for (var y = 0; y < h; ++y) {
  var row = new Uint32Array(img.GetRow(y));
  for (var x = 0; x < w; ++x) {
    var c = row[x];
    row[x] = (c & 0xFF00FF00) | ((c >>> 16) & 0xFF) | ((c & 0xFF) << 16);
  }
  img.SetRow(y, row);
}
