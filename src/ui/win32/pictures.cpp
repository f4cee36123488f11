#include "ui/win32/pictures.h"

#include <cctype>
#include <cstdint>
#include <cstring>
#include <string>

#include "app/layout.h"
#include "ui/win32/text.h"

namespace leafward::ui::win32 {
namespace {

// A picture's resource: PICTURE_ and its name in capitals, '-' written '_' (as the build names
// it).
std::wstring resourceName(std::string_view picture) {
  std::string name = "PICTURE_";
  for (char c : picture) name += c == '-' ? '_' : static_cast<char>(std::toupper(c));
  return wide(name);
}

std::uint32_t little(const unsigned char* bytes, int count) {
  std::uint32_t value = 0;
  for (int i = count - 1; i >= 0; --i) value = value << 8 | bytes[i];
  return value;
}

// An icon of the icon file held as raw data under `name`: the image closest to `size`,
// preferring a larger one (which Windows shrinks) to a smaller one.
HICON loadIconFile(HINSTANCE instance, const std::wstring& name, int size) {
  HRSRC found = FindResourceW(instance, name.c_str(), MAKEINTRESOURCEW(10));  // RT_RCDATA
  if (!found) return nullptr;
  const DWORD length = SizeofResource(instance, found);
  const auto* file = static_cast<const unsigned char*>(LockResource(LoadResource(instance, found)));
  if (!file || length < 6) return nullptr;
  const std::uint32_t count = little(file + 4, 2);
  if (length < 6 + 16 * count) return nullptr;
  const unsigned char* best = nullptr;
  int bestSize = 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    const unsigned char* entry = file + 6 + 16 * i;
    const int entrySize = entry[0] == 0 ? 256 : entry[0];
    const bool better = !best || (bestSize < size ? entrySize > bestSize
                                                  : entrySize >= size && entrySize < bestSize);
    if (better) best = entry, bestSize = entrySize;
  }
  if (!best) return nullptr;
  const std::uint32_t bytes = little(best + 8, 4), offset = little(best + 12, 4);
  if (offset > length || bytes > length - offset) return nullptr;
  return CreateIconFromResourceEx(const_cast<unsigned char*>(file + offset), bytes, TRUE,
                                  0x00030000, size, size, LR_DEFAULTCOLOR);
}

}  // namespace

HIMAGELIST createToolbarPictures(HINSTANCE instance, int size) {
  HIMAGELIST list = ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK,
                                     static_cast<int>(app::kPictures.size()), 0);
  for (std::string_view picture : app::kPictures) {
    HICON icon = loadIconFile(instance, resourceName(picture), size);
    // A picture that cannot be read still takes its place, so that the others keep theirs.
    const bool own = icon != nullptr;
    if (!own) icon = LoadIconW(nullptr, IDI_APPLICATION);
    ImageList_AddIcon(list, icon);
    if (own) DestroyIcon(icon);
  }
  return list;
}

HICON loadWindowIcon(HINSTANCE instance, int size) {
  return static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON, size, size, 0));
}

}  // namespace leafward::ui::win32
