#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quillbay {

// Turns the child's output bytes into display lines. A line split across
// reads is joined again; a partial line waits for its line feed and comes out
// at end of output. Empty lines are dropped. Bytes that are not valid UTF-8
// are shown as U+FFFD, so no line is lost, and characters that would act on
// the shown text become escapes (see displayText). A line longer than
// `maxLineBytes` is cut into pieces (at character boundaries) so a writer
// that never ends its line cannot grow memory without bound.
class LineAssembler {
public:
    static constexpr std::size_t kDefaultMaxLineBytes = 64 * 1024;

    explicit LineAssembler(std::size_t maxLineBytes = kDefaultMaxLineBytes);

    using LineSink = std::function<void(std::string&& line)>;

    // Hands each complete line that `bytes` ends to `sink`, in order.
    void feed(std::string_view bytes, const LineSink& sink);
    // The same for a reader that keeps only the last `keep` lines: lines that
    // later complete lines of the same bytes would push out of such a tail are
    // skipped, so a flood costs a look at its last lines, not a string per line.
    // Returns how many lines were skipped.
    std::size_t feedTail(std::string_view bytes, std::size_t keep, const LineSink& sink);
    // Hands over the pending partial line, if any, at end of output.
    void finish(const LineSink& sink);

    // The same, collected; convenient where the lines are few.
    std::vector<std::string> feed(std::string_view bytes);
    std::vector<std::string> finish();

    // Valid UTF-8 for any bytes, safe to show: each byte that does not start
    // a character becomes U+FFFD, and controls but tab (C0, DEL, C1), format
    // characters (bidi overrides, zero-width ones) and line or paragraph
    // separators become "\u202E"-style escapes, so output can neither reorder
    // nor hide nor break the text around it.
    static std::string displayText(std::string_view bytes);

private:
    static void emit(std::string_view raw, const LineSink& sink);
    // Where the last `count` non-empty complete lines of `bytes` begin, or 0.
    static std::size_t startOfLastLines(std::string_view bytes, std::size_t count);
    // The lines that feed() would hand over for `skipped`, which ends with a line feed.
    std::size_t linesIn(std::string_view skipped) const;
    void cutOversized(const LineSink& sink);

    std::size_t maxLineBytes_;
    std::string pending_;
};

} // namespace quillbay
