#include "imagefiles/raw_codec.h"

#include <cstdio>
#include <string>
#include <vector>

#include "imagefiles/img_stream.h"

int raw_load(const char* path, ImageDescriptor* d) {
  int r = img_check_8_24(d);
  if (r) return r;
  if (img_bits(d) != 8) return IMG_BAD_DEPTH;
  StreamHandle h = file_open_read(path);
  if (h == STREAM_INVALID) return IMG_OPEN_FAILED;
  DWORD columns = img_rect_width(d), rows = img_rect_height(d);
  std::vector<BYTE> row(columns);
  // Rows the file does not hold in full keep what they had.
  for (DWORD k = 0; k < rows; ++k) {
    DWORD done = 0;
    if (!file_read(h, row.data(), columns, &done) || done != columns) break;
    std::copy(row.begin(), row.end(), img_row(d, d->top + k) + d->left);
  }
  file_close(h);
  img_set_grey_palette(d);
  return IMG_OK;
}

int raw_save(const char* path, ImageDescriptor* d) {
  int r = img_check_8_24(d);
  if (r) return r;
  if (img_bits(d) != 8) return IMG_BAD_DEPTH;
  StreamHandle h = file_create(path);
  if (h == STREAM_INVALID) return IMG_CREATE_FAILED;
  DWORD columns = img_rect_width(d), rows = img_rect_height(d);
  std::vector<BYTE> out;
  r = IMG_OK;
  for (DWORD k = 0; k < rows && r == IMG_OK; ++k) {
    const BYTE* src = img_row(d, d->top + k) + d->left;
    out.insert(out.end(), src, src + columns);
    if (out.size() >= 65536) {
      if (!file_write_all(h, out.data(), out.size())) r = IMG_WRITE_FAILED;
      out.clear();
    }
  }
  if (r == IMG_OK && !file_write_all(h, out.data(), out.size())) r = IMG_WRITE_FAILED;
  return file_finish_write(h, path, r);
}

int eps_save(const char* path, ImageDescriptor* d) {
  int r = img_check_8_24(d);
  if (r) return r;
  if (img_bits(d) != 8) return IMG_BAD_DEPTH;
  StreamHandle h = file_create(path);
  if (h == STREAM_INVALID) return IMG_CREATE_FAILED;
  int w = static_cast<int>(img_rect_width(d)), ht = static_cast<int>(img_rect_height(d));
  bool colour = !img_is_grey(d) && d->palette && d->colorCount > 0;
  int level = colour ? 3 : 2;
  std::string t;
  char line[160];
  auto add = [&t](const char* s) {
    t += s;
    t += "\r\n";
  };
  std::snprintf(line, sizeof line, "%%!PS-Adobe-%d.0 EPSF-%d.0", level, level);
  add(line);
  std::snprintf(line, sizeof line, "%%%%BoundingBox: 0 0 %d %d", w, ht);
  add(line);
  add("%%Creator: Imager");
  add("%%Title: Image");
  add("%%EndComments");
  if (colour) {
    add("[/Indexed /DeviceRGB 255 <");
    // Eight entries a line keeps every line well within the 255 characters of DSC.
    for (int k = 0; k < 256; ++k) {
      const RGBQUAD& q = d->palette[k];
      std::snprintf(line, sizeof line, "%02x%02x%02x ", q.rgbRed, q.rgbGreen, q.rgbBlue);
      t += line;
      if (k % 8 == 7) t += "\r\n";
    }
    add(">] setcolorspace");
  }
  std::snprintf(line, sizeof line, "/picstr %d string def", w);
  add(line);
  add("0 0 translate");
  std::snprintf(line, sizeof line, "%d %d scale", w, ht);
  add(line);
  if (colour) {
    // The operand form of image always paints grey levels; only the dictionary form
    // paints through the indexed colour space.
    std::snprintf(line, sizeof line, "<< /ImageType 1 /Width %d /Height %d /BitsPerComponent 8", w, ht);
    add(line);
    std::snprintf(line, sizeof line, "/Decode [0 255] /ImageMatrix [%d 0 0 -%d 0 %d]", w, ht, ht);
    add(line);
    add("/DataSource {currentfile picstr readhexstring pop} >>");
  } else {
    std::snprintf(line, sizeof line, "%d %d 8", w, ht);
    add(line);
    std::snprintf(line, sizeof line, "[%d 0 0 -%d 0 %d]", w, ht, ht);
    add(line);
    add("{currentfile picstr readhexstring pop}");
  }
  add("image");
  r = file_write_all(h, t.data(), t.size()) ? IMG_OK : IMG_WRITE_FAILED;
  t.clear();

  static const char kHex[] = "0123456789abcdef";
  int onLine = 0;
  for (int k = 0; k < ht && r == IMG_OK; ++k) {
    const BYTE* src = img_row(d, d->top + static_cast<DWORD>(k)) + d->left;
    for (int x = 0; x < w; ++x) {
      t += kHex[src[x] >> 4];
      t += kHex[src[x] & 15];
      // readhexstring skips line breaks; they keep lines short.
      if (++onLine == 64) {
        t += "\r\n";
        onLine = 0;
      }
    }
    if (t.size() >= 65536) {
      if (!file_write_all(h, t.data(), t.size())) r = IMG_WRITE_FAILED;
      t.clear();
    }
  }
  if (r == IMG_OK) {
    t += "\r\nshowpage\r\n";
    if (!file_write_all(h, t.data(), t.size())) r = IMG_WRITE_FAILED;
  }
  return file_finish_write(h, path, r);
}
