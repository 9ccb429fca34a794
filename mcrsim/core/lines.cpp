#include "lines.h"

namespace mcrsim {

void LineSplitter::Feed(std::string_view chunk) {
    while (!chunk.empty()) {
        const std::size_t newline = chunk.find('\n');
        const std::string_view part = chunk.substr(0, newline);
        started_ = started_ || !part.empty();
        // One byte beyond the cap is kept: it may be the "\r" of a "\r\n".
        if (!overLong_ && current_.size() + part.size() > maxLine_ + 1) {
            overLong_ = true;
            current_.clear();
            current_.shrink_to_fit();
        }
        if (!overLong_) current_.append(part);
        if (newline == std::string_view::npos) return;
        Finish();
        chunk.remove_prefix(newline + 1);
    }
}

void LineSplitter::End() {
    if (started_ || overLong_) Finish();
}

void LineSplitter::Finish() {
    if (!current_.empty() && current_.back() == '\r') current_.pop_back();
    if (overLong_ || current_.size() > maxLine_)
        ready_.push_back({Got::TooLong, std::string()});
    else
        ready_.push_back({Got::Line, std::move(current_)});
    current_.clear();
    overLong_ = false;
    started_ = false;
}

LineSplitter::Got LineSplitter::Next(std::string *line) {
    if (ready_.empty()) return Got::None;
    Ready next = std::move(ready_.front());
    ready_.pop_front();
    if (next.got == Got::Line) *line = std::move(next.text);
    return next.got;
}

}  // namespace mcrsim
