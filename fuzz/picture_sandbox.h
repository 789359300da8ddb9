// A folder of real and crafted picture files for runs that load pictures
// through the picture loader: what a hostile text can name.
#pragma once

#include <string>

namespace marklet::fuzz {

// Makes a fresh folder under $TMPDIR and fills it (the names are in
// fuzz/raster.dict):
//   real pictures: dot.png (16 x 8), dot-copy.png (the same bytes),
//     dot-link.png (a hard link to dot.png), pixel.gif, dot.bmp, dot.jpg, dot.ico,
//     dot.cur, full8k.png (8192 x 8192, all black: the whole pixel budget of
//     one text in 8 KB), full8k-copy.png (the same bytes in another file),
//     full8k-link.png (a hard link to full8k.png);
//   lying headers: huge.png (20000 x 20000), claim16k.png (16384 x 16384),
//     liar.bmp, liar.gif, liar.jpg (16000 x 16000), liar.ico;
//   truncated: dot-cut.png, dot-cut.jpg, dot-cut.bmp, dot-cut.gif, full8k-cut.png;
//   other formats: big.svg, turb.svg, svg.png (an SVG named like a PNG),
//     not-a-picture.png, empty.png;
//   not files: pipe.png (a FIFO), folder.png (a folder).
// Aborts when the folder cannot be made.
std::string MakePictureSandbox();

}  // namespace marklet::fuzz
