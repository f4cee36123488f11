#include "ui/win32/remote_window.h"

#include <commctrl.h>
#include <shlobj.h>
#include <wincodec.h>

#include <cstring>
#include <stdexcept>
#include <thread>

namespace leafward::testing {
namespace {

using namespace std::chrono_literals;

struct Search {
  DWORD process;
  const std::function<bool(HWND)>& matches;
  HWND found = nullptr;
};

BOOL CALLBACK matchTopLevel(HWND window, LPARAM data) {
  auto& search = *reinterpret_cast<Search*>(data);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search.process || !IsWindowVisible(window) || !search.matches(window)) {
    return TRUE;
  }
  search.found = window;
  return FALSE;
}

void sendInputs(std::vector<INPUT> inputs) {
  SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
  std::this_thread::sleep_for(50ms);
}

INPUT keyInput(WORD virtualKey, WORD scan, DWORD flags) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = virtualKey;
  input.ki.wScan = scan;
  input.ki.dwFlags = flags;
  return input;
}

}  // namespace

RemoteWindows::RemoteWindows(const std::wstring& program, const std::wstring& arguments) {
  std::wstring commandLine = L"\"" + program + L"\" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  // Wine, busy starting many programs at once, now and then answers a start with "internal
  // error" and starts the same program at the next try.
  bool started = false;
  for (int attempt = 0; attempt < 5 && !started; ++attempt) {
    if (attempt > 0) Sleep(200);
    started = CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                             nullptr, nullptr, &startup, &process_);
    if (!started && GetLastError() != ERROR_INTERNAL_ERROR) break;
  }
  if (!started) throw std::runtime_error("cannot start the program");
  WaitForInputIdle(process_.hProcess, 30000);
}

RemoteWindows::~RemoteWindows() {
  if (running()) TerminateProcess(process_.hProcess, 1);
  WaitForSingleObject(process_.hProcess, 10000);
  CloseHandle(process_.hThread);
  CloseHandle(process_.hProcess);
}

bool RemoteWindows::running() const {
  return WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT;
}

DWORD RemoteWindows::exitCode() const {
  DWORD code = 0;
  GetExitCodeProcess(process_.hProcess, &code);
  return code;
}

bool RemoteWindows::waitForExit(std::chrono::milliseconds patience) {
  return WaitForSingleObject(process_.hProcess, static_cast<DWORD>(patience.count())) ==
         WAIT_OBJECT_0;
}

HWND RemoteWindows::waitForWindow(const std::function<bool(HWND)>& matches,
                                  std::chrono::milliseconds patience) const {
  Search search{process_.dwProcessId, matches};
  waitUntil(
      [&] {
        EnumWindows(&matchTopLevel, reinterpret_cast<LPARAM>(&search));
        return search.found != nullptr;
      },
      patience);
  return search.found;
}

HWND RemoteWindows::waitForWindow(const std::wstring& windowClass, const std::wstring& title,
                                  std::chrono::milliseconds patience) const {
  return waitForWindow(
      [&](HWND window) {
        return (windowClass.empty() || className(window) == windowClass) &&
               windowText(window) == title;
      },
      patience);
}

bool RemoteWindows::gone(const std::wstring& windowClass, const std::wstring& title) const {
  return waitForWindow(windowClass, title, 0ms) == nullptr;
}

std::vector<unsigned char> RemoteWindows::exchange(
    HWND window, UINT message, WPARAM w, std::size_t size, LRESULT* result,
    const std::function<void(std::vector<unsigned char>&, std::uintptr_t)>& prepare) const {
  HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE,
                               process_.dwProcessId);
  if (!process) throw std::runtime_error("cannot open the program's memory");
  void* remote = VirtualAllocEx(process, nullptr, size, MEM_COMMIT, PAGE_READWRITE);
  std::vector<unsigned char> buffer(size, 0);
  if (remote) {
    if (prepare) prepare(buffer, reinterpret_cast<std::uintptr_t>(remote));
    WriteProcessMemory(process, remote, buffer.data(), size, nullptr);
    const LRESULT answer = SendMessageW(window, message, w, reinterpret_cast<LPARAM>(remote));
    if (result) *result = answer;
    ReadProcessMemory(process, remote, buffer.data(), size, nullptr);
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  }
  CloseHandle(process);
  if (!remote) throw std::runtime_error("cannot share memory with the program");
  return buffer;
}

std::wstring RemoteWindows::statusText(HWND statusBar, int part) const {
  const auto length = LOWORD(SendMessageW(statusBar, SB_GETTEXTLENGTHW, part, 0));
  const auto bytes = exchange(statusBar, SB_GETTEXTW, part, (length + 1) * sizeof(wchar_t));
  return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), length);
}

std::wstring RemoteWindows::listViewText(HWND list, int row, int column) const {
  constexpr int kRoom = 1024;
  const auto bytes = exchange(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row),
                              sizeof(LVITEMW) + kRoom * sizeof(wchar_t), nullptr,
                              [&](std::vector<unsigned char>& buffer, std::uintptr_t remote) {
                                LVITEMW item{};
                                item.iSubItem = column;
                                item.cchTextMax = kRoom;
                                item.pszText = reinterpret_cast<wchar_t*>(remote + sizeof(LVITEMW));
                                std::memcpy(buffer.data(), &item, sizeof(item));
                              });
  return reinterpret_cast<const wchar_t*>(bytes.data() + sizeof(LVITEMW));
}

void RemoteWindows::dropFiles(HWND window, const std::vector<std::wstring>& paths) const {
  std::wstring names;
  for (const std::wstring& path : paths) names += path + L'\0';
  names += L'\0';
  std::vector<unsigned char> block(sizeof(DROPFILES) + names.size() * sizeof(wchar_t), 0);
  DROPFILES header{};
  header.pFiles = sizeof(DROPFILES);
  header.fWide = TRUE;
  std::memcpy(block.data(), &header, sizeof(header));
  std::memcpy(block.data() + sizeof(header), names.data(), names.size() * sizeof(wchar_t));
  HANDLE process =
      OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, process_.dwProcessId);
  if (!process) throw std::runtime_error("cannot open the program's memory");
  // The program lets go of the block (DragFinish); it is not freed here.
  void* remote = VirtualAllocEx(process, nullptr, block.size(), MEM_COMMIT, PAGE_READWRITE);
  if (remote) WriteProcessMemory(process, remote, block.data(), block.size(), nullptr);
  CloseHandle(process);
  if (!remote) throw std::runtime_error("cannot share memory with the program");
  PostMessageW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(remote), 0);
}

RECT RemoteWindows::toolbarButton(HWND toolbar, int position) const {
  const auto bytes = exchange(toolbar, TB_GETITEMRECT, position, sizeof(RECT));
  RECT rect = *reinterpret_cast<const RECT*>(bytes.data());
  MapWindowPoints(toolbar, nullptr, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

std::vector<std::wstring> RemoteWindows::comboItems(HWND combo) const {
  std::vector<std::wstring> items;
  const auto count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    const auto length = SendMessageW(combo, CB_GETLBTEXTLEN, i, 0);
    if (length < 0) break;
    // A message of the system's own range: Windows carries its text across processes.
    std::wstring item(static_cast<std::size_t>(length) + 1, L'\0');
    SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item.data()));
    item.resize(static_cast<std::size_t>(length));
    items.push_back(std::move(item));
  }
  return items;
}

HWND RemoteWindows::focus(HWND window) const {
  GUITHREADINFO info{};
  info.cbSize = sizeof(info);
  GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info);
  return info.hwndFocus;
}

bool RemoteWindows::waitForFocus(HWND window) const {
  return waitUntil([&] {
    HWND focused = focus(window);
    return focused && (focused == window || IsChild(window, focused));
  });
}

std::wstring className(HWND window) {
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  return name;
}

HWND childOfClass(HWND parent, const std::wstring& windowClass, int index) {
  HWND child = nullptr;
  while ((child = FindWindowExW(parent, child, windowClass.c_str(), nullptr)) != nullptr) {
    if (index-- == 0) return child;
  }
  return nullptr;
}

std::wstring windowText(HWND window) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length)) {
    return {};
  }
  std::wstring text(length + 1, L'\0');
  DWORD_PTR copied = 0;
  SendMessageTimeoutW(window, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(text.data()),
                      SMTO_ABORTIFHUNG, 5000, &copied);
  text.resize(copied);
  return text;
}

std::wstring staticText(HWND box) {
  std::wstring longest;
  HWND child = nullptr;
  while ((child = FindWindowExW(box, child, L"Static", nullptr)) != nullptr) {
    std::wstring text = windowText(child);
    if (text.size() > longest.size()) longest = std::move(text);
  }
  return longest;
}

// Every event of a click carries where it happens, so that no pointer motion the display
// reports in between can move it.
void clickAt(POINT point, bool right) {
  const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
  INPUT event{};
  event.type = INPUT_MOUSE;
  event.mi.dx = MulDiv(point.x, 65535, width - 1);
  event.mi.dy = MulDiv(point.y, 65535, height - 1);
  const DWORD down = right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN;
  const DWORD up = right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP;
  for (DWORD action : {DWORD(0), down, up}) {
    event.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | action;
    sendInputs({event});
  }
}

void clickCentre(const RECT& rect) {
  clickAt({(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2});
}

void typeText(const std::wstring& text) {
  std::vector<INPUT> inputs;
  for (wchar_t c : text) {
    inputs.push_back(keyInput(0, c, KEYEVENTF_UNICODE));
    inputs.push_back(keyInput(0, c, KEYEVENTF_UNICODE | KEYEVENTF_KEYUP));
  }
  sendInputs(inputs);
}

void pressKey(WORD virtualKey, bool shift, bool control, bool alt) {
  std::vector<INPUT> inputs;
  const WORD held[] = {shift ? WORD(VK_SHIFT) : WORD(0), control ? WORD(VK_CONTROL) : WORD(0),
                       alt ? WORD(VK_MENU) : WORD(0)};
  for (WORD key : held) {
    if (key) inputs.push_back(keyInput(key, 0, 0));
  }
  inputs.push_back(keyInput(virtualKey, 0, 0));
  inputs.push_back(keyInput(virtualKey, 0, KEYEVENTF_KEYUP));
  for (WORD key : held) {
    if (key) inputs.push_back(keyInput(key, 0, KEYEVENTF_KEYUP));
  }
  sendInputs(inputs);
}

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds patience) {
  const auto end = std::chrono::steady_clock::now() + patience;
  for (;;) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(50ms);
  }
}

void saveScreenshot(HWND window, const std::wstring& path) {
  RECT frame;
  GetWindowRect(window, &frame);
  const int width = frame.right - frame.left, height = frame.bottom - frame.top;
  BITMAPINFO format{};
  format.bmiHeader.biSize = sizeof(format.bmiHeader);
  format.bmiHeader.biWidth = width;
  format.bmiHeader.biHeight = -height;  // top row first
  format.bmiHeader.biPlanes = 1;
  format.bmiHeader.biBitCount = 32;
  void* pixels = nullptr;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP image = CreateDIBSection(screen, &format, DIB_RGB_COLORS, &pixels, nullptr, 0);
  HGDIOBJ before = SelectObject(memory, image);
  BitBlt(memory, 0, 0, width, height, screen, frame.left, frame.top, SRCCOPY | CAPTUREBLT);
  SelectObject(memory, before);

  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  IWICImagingFactory* factory = nullptr;
  IWICStream* stream = nullptr;
  IWICBitmapEncoder* encoder = nullptr;
  IWICBitmapFrameEncode* page = nullptr;
  bool saved = false;
  if (SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                 IID_PPV_ARGS(&factory))) &&
      SUCCEEDED(factory->CreateStream(&stream)) &&
      SUCCEEDED(stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE)) &&
      SUCCEEDED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder)) &&
      SUCCEEDED(encoder->Initialize(stream, WICBitmapEncoderNoCache)) &&
      SUCCEEDED(encoder->CreateNewFrame(&page, nullptr)) && SUCCEEDED(page->Initialize(nullptr)) &&
      SUCCEEDED(page->SetSize(width, height))) {
    WICPixelFormatGUID pixelFormat = GUID_WICPixelFormat32bppBGR;
    saved = SUCCEEDED(page->SetPixelFormat(&pixelFormat)) &&
            SUCCEEDED(page->WritePixels(height, width * 4, width * height * 4,
                                        static_cast<BYTE*>(pixels))) &&
            SUCCEEDED(page->Commit()) && SUCCEEDED(encoder->Commit());
  }
  for (IUnknown* object : std::initializer_list<IUnknown*>{page, encoder, stream, factory}) {
    if (object) object->Release();
  }
  CoUninitialize();
  DeleteObject(image);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  if (!saved) throw std::runtime_error("cannot save the screenshot " + utf8Text(path));
}

std::wstring wideText(const std::string& utf8) {
  if (utf8.empty()) return {};
  std::wstring wide(
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0),
      L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(),
                      static_cast<int>(wide.size()));
  return wide;
}

std::string utf8Text(const std::wstring& wide) {
  if (wide.empty()) return {};
  std::string utf8(WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                       nullptr, 0, nullptr, nullptr),
                   '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(),
                      static_cast<int>(utf8.size()), nullptr, nullptr);
  return utf8;
}

}  // namespace leafward::testing

namespace leafward::testing {

std::wstring clipboardText() {
  std::wstring text;
  if (!OpenClipboard(nullptr)) return text;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* locked = static_cast<const wchar_t*>(GlobalLock(data))) {
      text = locked;
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

}  // namespace leafward::testing
