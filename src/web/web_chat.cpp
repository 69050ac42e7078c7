#include "web/web_chat.h"

#include <algorithm>
#include <cmath>

namespace murvik {
namespace {

// `text` as a JSON string.
void AppendJson(std::string& out, std::string_view text) {
  out += '"';
  for (const char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      static constexpr char kHex[] = "0123456789abcdef";
      out += "\\u00";
      out += kHex[(c >> 4) & 0xF];
      out += kHex[c & 0xF];
    } else {
      out += c;
    }
  }
  out += '"';
}

void AppendNumber(std::string& out, uint64_t n) { out += std::to_string(n); }

}  // namespace

WebChat::WebChat() : chat_(std::make_unique<ChatLines>()) { layout_.SetChat(*chat_); }

WebChat::~WebChat() = default;

void WebChat::Begin(uint64_t length) {
  reason_.clear();
  Show(std::make_unique<ChatLines>());
  reading_ = std::make_unique<ChatLines>();
  // A record types at most one character or ends one line, so the chat is
  // never longer than this: reserved once, it is never copied as it grows
  // (up to a GiB, a quarter of what the module can address; a longer chat
  // grows by copying).
  reading_->Reserve(std::min<uint64_t>(length / 12 + 1, uint64_t{1} << 30));
  ExtractOptions options;
  options.on_sent = [chat = reading_.get()](MessageList& sent) { chat->Append(sent); };
  reader_ = std::make_unique<ChatReader>(options);
}

unsigned char* WebChat::Buffer(size_t size) {
  if (buffer_.size() < size) buffer_.resize(size);
  return buffer_.data();
}

void WebChat::Feed(size_t size) {
  if (reader_ != nullptr) reader_->Feed(buffer_.data(), std::min(size, buffer_.size()));
}

bool WebChat::Finish() {
  if (reader_ == nullptr) return false;
  ChatResult result = reader_->Finish();
  reader_.reset();
  if (!result.status.ok()) {
    reason_ = result.status.reason();
    reading_.reset();
    return false;
  }
  reading_->Append(std::move(result.messages));
  Show(std::move(reading_));
  return true;
}

void WebChat::Drop(std::string_view text) {
  reader_.reset();
  reading_.reset();
  buffer_ = {};
  Show(std::make_unique<ChatLines>(ChatLines::FromText(text)));
}

void WebChat::Show(std::unique_ptr<ChatLines> chat) {
  matches_.reset();
  term_.clear();
  chat_ = std::move(chat);
  layout_.SetChat(*chat_);
  top_ = {};
  anchor_ = caret_ = 0;
  preferred_x_ = -1;
}

void WebChat::SetMetrics(const Advances& advance, int64_t width, int page_rows) {
  layout_.SetAdvances(advance);
  layout_.SetWidth(std::max<int64_t>(width, 64));
  page_rows_ = std::max(1, page_rows);
  SetTop(layout_.Clamped(top_));
}

void WebChat::SetLowercase(bool lower) { case_ = lower ? LetterCase::kLower : LetterCase::kAsIs; }

void WebChat::Move(Motion motion, bool select) {
  const bool vertical = MovesByRows(motion);
  if (vertical && preferred_x_ < 0) preferred_x_ = layout_.XOf(layout_.RowOf(caret_), caret_);
  const uint64_t target = MotionTarget(*chat_, layout_, motion, caret_, preferred_x_, page_rows_);
  if (motion == Motion::kPrevPage || motion == Motion::kNextPage) {
    RowPos top = top_;
    layout_.Move(top, motion == Motion::kNextPage ? page_rows_ : -page_rows_);
    SetTop(top);
  }
  const int64_t keep_x = preferred_x_;
  MoveCaret(target, select);
  if (vertical) preferred_x_ = keep_x;
}

void WebChat::MoveCaret(uint64_t pos, bool keep_anchor) {
  caret_ = std::min(pos, chat_->size());
  if (!keep_anchor) anchor_ = caret_;
  preferred_x_ = -1;
  ScrollTo(caret_);
}

void WebChat::ScrollTo(uint64_t pos) { SetTop(TopShowing(layout_, top_, std::min(pos, chat_->size()), page_rows_)); }

void WebChat::SetTop(RowPos top) { top_ = std::min(top, layout_.LastTop(page_rows_)); }

void WebChat::ScrollBy(int64_t rows) {
  RowPos top = top_;
  layout_.Move(top, rows);
  SetTop(top);
}

void WebChat::ScrollToShare(double share) {
  const RowPos last_top = layout_.LastTop(page_rows_);
  if (!(share > 0)) return SetTop({});
  if (share >= 1) return SetTop(last_top);
  const uint64_t last = layout_.RowBegin(last_top);
  SetTop(layout_.RowOf(std::min<uint64_t>(last, static_cast<uint64_t>(std::llround(share * double(last))))));
}

uint64_t WebChat::PositionAt(int64_t row, uint64_t column) const {
  if (chat_->empty()) return 0;
  RowPos at = top_;
  const int64_t moved = layout_.Move(at, row);
  if (moved < row) return chat_->size();  // below the last row
  if (moved > row) return 0;
  return std::min(layout_.RowBegin(at) + column, layout_.RowEnd(at));
}

void WebChat::Click(int64_t row, uint64_t column, bool extend) { MoveCaret(PositionAt(row, column), extend); }

void WebChat::SelectWord(int64_t row, uint64_t column) {
  if (chat_->empty()) return;
  const auto [begin, end] = WordAt(*chat_, std::min(PositionAt(row, column), chat_->size() - 1));
  anchor_ = begin;
  MoveCaret(end, true);
}

void WebChat::SelectAll() {
  anchor_ = 0;
  caret_ = chat_->size();
}

std::string WebChat::Shown(uint64_t begin, uint64_t end) const {
  return TextAsShown(*chat_, begin, end, case_, "\r\n");
}

void WebChat::Find(std::string_view term) {
  // From the current match on, so that it stays current while the term grows.
  const uint64_t from = matches_ && current_ < matches_->size() ? matches_->At(current_) : std::min(anchor_, caret_);
  matches_.reset();
  term_ = term;
  // The chat is ASCII: a term with any other character matches nothing.
  if (term.empty() || std::any_of(term.begin(), term.end(), [](char c) { return c & 0x80; })) return;
  matches_ = ChatMatches::Find(*chat_, term_);
  if (!matches_) return;
  if (matches_->size() == 0) return;
  current_ = matches_->IndexAtOrAfter(from);
  if (current_ >= matches_->size()) current_ = 0;
  SelectMatch();
}

void WebChat::Step(int by) {
  if (!matches_ || matches_->size() == 0) return;
  const uint64_t count = matches_->size();
  current_ = by > 0 ? (current_ + 1) % count : (current_ + count - 1) % count;
  SelectMatch();
}

void WebChat::SelectMatch() {
  const uint64_t at = matches_->At(current_);
  anchor_ = at;
  MoveCaret(at + term_.size(), true);
}

void WebChat::CloseFind() {
  matches_.reset();
  term_.clear();
}

std::string WebChat::Screen() const {
  std::string out = "{\"rows\":[";
  const RowPos last = layout_.LastRow();
  RowPos at = top_;
  uint64_t screen_begin = layout_.RowBegin(top_), screen_end = screen_begin;
  const bool empty = chat_->empty();
  for (int i = 0; i <= page_rows_ && !empty; ++i) {
    const uint64_t begin = layout_.RowBegin(at), end = layout_.RowEnd(at);
    if (i > 0) out += ',';
    out += "{\"b\":";
    AppendNumber(out, begin);
    out += ",\"line\":";
    AppendNumber(out, at.line);
    // Whether the row ends its line with a break, which a selection shows.
    out += ",\"br\":";
    out += end == chat_->LineEnd(at.line) && at.line + 1 < chat_->line_count() ? "true" : "false";
    out += ",\"t\":";
    AppendJson(out, Shown(begin, end));
    out += '}';
    screen_end = end + 1;
    if (at == last || layout_.Move(at, 1) == 0) break;
  }
  out += "],\"caret\":";
  AppendNumber(out, caret_);
  out += ",\"anchor\":";
  AppendNumber(out, anchor_);
  out += ",\"size\":";
  AppendNumber(out, chat_->size());
  out += ",\"lines\":";
  AppendNumber(out, empty ? 0 : chat_->line_count());
  out += ",\"caretLine\":";
  AppendNumber(out, chat_->LineOf(caret_));
  // Where the scroll bar stands: the share of the chat above the top row,
  // and the share one page takes, as the window's scroll bar counts them.
  const RowPos last_top = layout_.LastTop(page_rows_);
  const uint64_t last_begin = layout_.RowBegin(last_top);
  RowPos below = top_;
  const uint64_t page_end = layout_.Move(below, page_rows_) == page_rows_ ? layout_.RowBegin(below) : chat_->size();
  const uint64_t page = std::max<uint64_t>(1, page_end - screen_begin);
  out += ",\"at\":";
  out += std::to_string(last_begin == 0 ? 0.0 : double(screen_begin) / double(last_begin));
  out += ",\"page\":";
  out += std::to_string(double(page) / double(last_begin + page));
  out += ",\"atEnd\":";
  out += top_ >= last_top ? "true" : "false";
  // The matches on screen, and which of all is current.
  out += ",\"marks\":[";
  if (matches_) {
    const uint64_t from = screen_begin >= term_.size() ? screen_begin - term_.size() + 1 : 0;
    bool first = true;
    for (const uint64_t pos : matches_->InRange(from, screen_end)) {
      if (!first) out += ',';
      first = false;
      AppendNumber(out, pos);
    }
  }
  out += "],\"markLength\":";
  AppendNumber(out, term_.size());
  out += ",\"found\":";
  AppendNumber(out, matches_ ? matches_->size() : 0);
  out += ",\"current\":";
  AppendNumber(out, matches_ && matches_->size() > 0 ? current_ + 1 : 0);
  out += '}';
  return out;
}

}  // namespace murvik
