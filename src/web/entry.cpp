// The page's worker calls the chat through these C functions (the names
// the WebAssembly module exports). Positions and sizes cross as doubles,
// exact up to 2^53. A text handed back stays valid until the next call
// that hands back a text.
#include <emscripten/emscripten.h>

#include <cstring>
#include <string>

#include "web/web_chat.h"

using murvik::WebChat;

namespace {

WebChat& Chat() {
  static WebChat chat;
  return chat;
}

std::string& Out() {
  static std::string out;
  return out;
}

const char* Hand(std::string text) {
  Out() = std::move(text);
  return Out().c_str();
}

}  // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE void murvik_begin(double length) { Chat().Begin(static_cast<uint64_t>(length)); }
EMSCRIPTEN_KEEPALIVE unsigned char* murvik_buffer(size_t size) { return Chat().Buffer(size); }
EMSCRIPTEN_KEEPALIVE void murvik_feed(size_t size) { Chat().Feed(size); }
// 1 when the chat was read and is shown, else 0 (murvik_reason says why).
EMSCRIPTEN_KEEPALIVE int murvik_finish() { return Chat().Finish() ? 1 : 0; }
EMSCRIPTEN_KEEPALIVE const char* murvik_reason() { return Chat().reason().c_str(); }
// Ends a read without its chat, showing `text` (may be empty).
EMSCRIPTEN_KEEPALIVE void murvik_drop(const char* text) { Chat().Drop(text); }

// `advances`: 256 widths in 1/64 pixel, one per byte.
EMSCRIPTEN_KEEPALIVE void murvik_metrics(const int32_t* advances, double width, int page_rows) {
  murvik::Advances advance;
  std::memcpy(advance.data(), advances, sizeof advance);
  Chat().SetMetrics(advance, static_cast<int64_t>(width), page_rows);
}
EMSCRIPTEN_KEEPALIVE void murvik_lowercase(int lower) { Chat().SetLowercase(lower != 0); }
EMSCRIPTEN_KEEPALIVE void murvik_move(int motion, int select) {
  Chat().Move(static_cast<murvik::Motion>(motion), select != 0);
}
EMSCRIPTEN_KEEPALIVE void murvik_scroll_by(double rows) { Chat().ScrollBy(static_cast<int64_t>(rows)); }
EMSCRIPTEN_KEEPALIVE void murvik_scroll_to(double share) { Chat().ScrollToShare(share); }
EMSCRIPTEN_KEEPALIVE void murvik_click(double row, double column, int extend) {
  Chat().Click(static_cast<int64_t>(row), static_cast<uint64_t>(column), extend != 0);
}
EMSCRIPTEN_KEEPALIVE void murvik_select_word(double row, double column) {
  Chat().SelectWord(static_cast<int64_t>(row), static_cast<uint64_t>(column));
}
EMSCRIPTEN_KEEPALIVE void murvik_select_all() { Chat().SelectAll(); }
EMSCRIPTEN_KEEPALIVE void murvik_find(const char* term) { Chat().Find(term); }
EMSCRIPTEN_KEEPALIVE void murvik_step(int by) { Chat().Step(by); }
EMSCRIPTEN_KEEPALIVE void murvik_close_find() { Chat().CloseFind(); }

// Characters [begin, end) of the chat as shown, each line break as CR LF;
// its length from murvik_length. Large texts are taken a part at a time.
EMSCRIPTEN_KEEPALIVE const char* murvik_shown(double begin, double end) {
  return Hand(Chat().Shown(static_cast<uint64_t>(begin), static_cast<uint64_t>(end)));
}
EMSCRIPTEN_KEEPALIVE double murvik_length() { return static_cast<double>(Out().size()); }
EMSCRIPTEN_KEEPALIVE const char* murvik_screen() { return Hand(Chat().Screen()); }

}  // extern "C"
