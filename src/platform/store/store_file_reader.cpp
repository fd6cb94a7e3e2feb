#include "platform/store/store_file_reader.h"

#include "platform/store/store_file_writer.h"

#include <QStringDecoder>
#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr QByteArrayView kBytesPrefix = "@ByteArray(";
// How much of the file is read at a time.
constexpr qsizetype kReadSize = 1 << 20;
constexpr qsizetype kFirstReadSize = 1 << 15;

constexpr std::array<bool, 256> bytesAmong(std::string_view among) {
    std::array<bool, 256> is{};
    for (char c : among) is[uchar(c)] = true;
    return is;
}

// The first byte from p on that is one of Cs, or end. Sixteen bytes at a time where the
// processor can: a store is nearly all runs of plain bytes.
template <char... Cs>
const char* findAny(const char* p, const char* end) {
#if defined(__SSE2__)
    for (; end - p >= 16; p += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        __m128i hit = _mm_setzero_si128();
        ((hit = _mm_or_si128(hit, _mm_cmpeq_epi8(v, _mm_set1_epi8(Cs)))), ...);
        if (const int mask = _mm_movemask_epi8(hit)) return p + __builtin_ctz(unsigned(mask));
    }
#endif
    static constexpr char kAmong[] = {Cs...};
    static constexpr std::array<bool, 256> kIs = bytesAmong({kAmong, sizeof kAmong});
    while (p < end && !kIs[uchar(*p)]) ++p;
    return p;
}

bool anyAbove127(QByteArrayView bytes) {
    const char* p = bytes.data();
    const char* end = p + bytes.size();
#if defined(__SSE2__)
    for (; end - p >= 16; p += 16)
        if (_mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)))) return true;
#endif
    uchar all = 0;
    for (; p < end; ++p) all |= uchar(*p);
    return (all & 0x80) != 0;
}

bool isHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
int hexValue(char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; }

// Where the value's line ends, as QSettings' line reader ends it: at a line break outside
// quotes, a backslash taking the byte after it along. A comment, or a break inside quotes or
// after a backslash, makes the file one to leave to QSettings.
class LineEnd {
  public:
    // The line break's place in part, or -1 when the line goes on past it.
    qsizetype feed(QByteArrayView part) {
        const char* s = part.data();
        const char* end = s + part.size();
        const char* p = s;
        if (afterBackslash_ && p < end) {
            afterBackslash_ = false;
            if (*p == '\n' || *p == '\r') return fail(p - s);
            ++p;
        }
        while ((p = findAny<'\\', '"', ';', '\n', '\r'>(p, end)) < end) {
            const char c = *p++;
            if (c == '\\') {
                if (p == end) {
                    afterBackslash_ = true;
                } else {
                    if (*p == '\n' || *p == '\r') return fail(p - s);
                    ++p;
                }
            } else if (c == '"') {
                inQuotes_ = !inQuotes_;
            } else if (c == ';' && !inQuotes_) {
                return fail(p - s);
            } else if (c == '\n' || c == '\r') {
                return inQuotes_ ? fail(p - s) : p - 1 - s;
            }
        }
        return -1;
    }
    bool failed() const { return failed_; }

  private:
    qsizetype fail(qsizetype at) {
        failed_ = true;
        return at;
    }
    bool inQuotes_ = false;
    bool afterBackslash_ = false;
    bool failed_ = false;
};

// QSettings' reading of a value (Qt 6.4, iniUnescapedStringList), step for step, over the value
// in consecutive parts: the sink gets each character an escape makes, each run of bytes between
// escapes, quotes and commas (which QSettings decodes as UTF-8 run by run; a run that goes on
// into the next part comes in pieces, and endRun follows its last), and the points where
// trailing blanks stop being cut. feed is false when the value is a list (an unquoted comma).
template <class Sink>
class Unescaper {
  public:
    explicit Unescaper(Sink& sink) : sink_(sink) {}

    bool feed(QByteArrayView part) {
        static constexpr char kNamed[][2] = {{'a', '\a'}, {'b', '\b'},  {'f', '\f'}, {'n', '\n'},
                                             {'r', '\r'}, {'t', '\t'},  {'v', '\v'}, {'"', '"'},
                                             {'?', '?'},  {'\'', '\''}, {'\\', '\\'}};
        const char* s = part.data();
        const char* end = s + part.size();
        while (s < end) {
            switch (state_) {
                case State::Blanks:
                    while (s < end && (*s == ' ' || *s == '\t')) ++s;
                    if (s < end) state_ = State::Plain;
                    break;
                case State::Run:
                    s = run(s, s, end);
                    break;
                case State::Plain: {
                    const char c = *s;
                    if (c == '\\') {
                        ++s;
                        state_ = State::Backslash;
                    } else if (c == '"') {
                        ++s;
                        quoted_ = true;
                        inQuotes_ = !inQuotes_;
                        state_ = inQuotes_ ? State::Plain : State::Blanks;
                        sink_.mark();
                    } else if (c == ',' && !inQuotes_) {
                        return false;
                    } else {
                        // A run starts with any other byte, a comma in quotes among them.
                        s = run(s, s + 1, end);
                    }
                    break;
                }
                case State::Backslash: {
                    const char e = *s++;
                    state_ = State::Plain;
                    bool named = false;
                    for (const auto& n : kNamed)
                        if (!named && e == n[0]) {
                            sink_.unit(char16_t(uchar(n[1])));
                            named = true;
                        }
                    if (named) break;
                    if (e == 'x') {
                        state_ = State::HexStart;
                    } else if (e >= '0' && e <= '7') {
                        hex_ = false;
                        value_ = quint32(e - '0');
                        state_ = State::Digits;
                    } else if (e == '\n' || e == '\r') {
                        lineBreak_ = e;
                        state_ = State::LineBreak;
                    } else {
                        sink_.mark();  // anything else after a backslash is dropped
                    }
                    break;
                }
                case State::HexStart:
                    if (isHex(*s)) {
                        hex_ = true;
                        value_ = 0;
                        state_ = State::Digits;
                    } else {
                        sink_.mark();
                        state_ = State::Plain;
                    }
                    break;
                case State::Digits:
                    // Only the low 16 bits of a long escape count, as in QChar(int).
                    for (; s < end && (hex_ ? isHex(*s) : (*s >= '0' && *s <= '7')); ++s)
                        value_ = hex_ ? value_ * 16 + quint32(hexValue(*s))
                                      : value_ * 8 + quint32(*s - '0');
                    if (s < end) {
                        sink_.unit(char16_t(value_ & 0xFFFF));
                        state_ = State::Plain;
                    }
                    break;
                case State::LineBreak:
                    if ((*s == '\n' || *s == '\r') && *s != lineBreak_) ++s;
                    sink_.mark();
                    state_ = State::Plain;
                    break;
            }
        }
        return true;
    }

    // After the last part.
    void finish() {
        switch (state_) {
            case State::Run:
                sink_.endRun();
                break;
            case State::Digits:
                sink_.unit(char16_t(value_ & 0xFFFF));
                break;
            case State::HexStart:
            case State::LineBreak:
                sink_.mark();
                break;
            default:
                break;  // a backslash at the very end is dropped
        }
        sink_.end(quoted_);
    }

  private:
    enum class State { Blanks, Plain, Run, Backslash, HexStart, Digits, LineBreak };

    // The run from s on, whose bytes up to from are in it already; where it stopped.
    const char* run(const char* s, const char* from, const char* end) {
        const char* stop = findAny<'\\', '"', ','>(from, end);
        if (stop > s) sink_.raw(QByteArrayView(s, stop - s));
        if (stop < end) {
            sink_.endRun();
            state_ = State::Plain;
        } else {
            state_ = State::Run;
        }
        return stop;
    }

    Sink& sink_;
    State state_ = State::Blanks;
    quint32 value_ = 0;
    bool hex_ = false;
    char lineBreak_ = 0;
    bool inQuotes_ = false;
    bool quoted_ = false;
};

// The first pass: what the value is, without keeping any of it.
struct Survey {
    qsizetype count = 0;  // characters from escapes plus bytes of runs
    char16_t first[12] = {};
    char16_t last = 0;
    bool nonAsciiRun = false;
    bool wideUnit = false;
    bool blankCut = false;  // QSettings would cut trailing blanks
    bool trailingBlank = false;

    void unit(char16_t c) {
        wideUnit |= c > 0xFF;
        if (count < qsizetype(std::size(first))) first[count] = c;
        ++count;
        last = c;
        trailingBlank = false;
    }
    void mark() { trailingBlank = false; }
    void raw(QByteArrayView run) {
        for (qsizetype k = 0; k < run.size() && count + k < qsizetype(std::size(first)); ++k)
            first[count + k] = uchar(run[k]);
        count += run.size();
        nonAsciiRun = nonAsciiRun || anyAbove127(run);
        last = uchar(run.back());
        trailingBlank = run.back() == ' ' || run.back() == '\t';
    }
    void endRun() {}
    void end(bool quoted) { blankCut = !quoted && trailingBlank; }

    bool startsWith(QLatin1StringView prefix) const {
        if (count < prefix.size()) return false;
        for (qsizetype k = 0; k < prefix.size(); ++k)
            if (first[k] != prefix[k].unicode()) return false;
        return true;
    }
};

constexpr qsizetype kPieceLength = 1 << 16;

// Decodes UTF-8 as QString::fromUtf8 does, in parts cut after an ASCII byte (which ends any
// sequence, valid or not, the same way whether cut there or not). ASCII is handed on as it
// stands, one byte a character: nearly every store is all ASCII, and the list keeps it so.
class Utf8Pieces {
  public:
    explicit Utf8Pieces(TextSink& out) : out_(out) {}

    void addBytes(QByteArrayView bytes) {
        if (bytes_.isEmpty()) {
            // Nearly every run is ASCII: handed on or decoded straight from where it is, up to
            // its last ASCII byte.
            qsizetype cut = bytes.size();
            while (cut > 0 && uchar(bytes[cut - 1]) >= 0x80) --cut;
            const QByteArrayView whole = bytes.first(cut);
            if (!anyAbove127(whole)) {
                flushText();
                if (!whole.isEmpty()) out_.put(QLatin1StringView(whole));
            } else {
                decode(whole);
            }
            bytes = bytes.sliced(cut);
        }
        // A part at a time, so that a long run is never copied or decoded whole.
        while (!bytes.isEmpty()) {
            const qsizetype n =
                std::min(bytes.size(), std::max<qsizetype>(1, kPieceLength - bytes_.size()));
            bytes_.append(bytes.first(n));
            bytes = bytes.sliced(n);
            if (bytes_.size() >= kPieceLength) decodeHeld(false);
        }
    }
    void addByte(char b) {
        bytes_.append(b);
        if (bytes_.size() >= kPieceLength) decodeHeld(false);
    }
    // A character that is not UTF-8: whatever bytes came before it are a whole run.
    void addUnit(char16_t c) {
        decodeHeld(true);
        text_.append(QChar(c));
        if (text_.size() >= kPieceLength) flushText();
    }
    void endRun() { decodeHeld(true); }
    void finish() {
        decodeHeld(true);
        flushText();
    }

  private:
    void decode(QByteArrayView part) {
        if (part.isEmpty()) return;
        const qsizetype at = text_.size();
        text_.resize(at + decoder_.requiredSpace(part.size()));
        QChar* end = decoder_.appendToBuffer(text_.data() + at, part);
        text_.truncate(end - text_.constData());
        if (text_.size() >= kPieceLength) flushText();
    }
    void decodeHeld(bool all) {
        if (bytes_.isEmpty()) return;
        qsizetype cut = bytes_.size();
        if (!all) {
            while (cut > 0 && uchar(bytes_[cut - 1]) >= 0x80) --cut;
            if (cut == 0) return;  // no ASCII yet: keep gathering
        }
        decode(QByteArrayView(bytes_.constData(), cut));
        bytes_.remove(0, cut);
    }
    void flushText() {
        if (!text_.isEmpty()) out_.put(QStringView(text_));
        text_.truncate(0);
    }

    TextSink& out_;
    QStringDecoder decoder_{QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                      QStringDecoder::Flag::ConvertInitialBom};
    QByteArray bytes_;
    QString text_;
};

// The second pass: the characters from skip on, less the last when dropLast, as text. In the
// byte form every character is a byte of UTF-8; in the text form runs are UTF-8 of their own.
struct Emit {
    Utf8Pieces& out;
    bool bytes;
    qsizetype skip;
    qsizetype stop;  // the count of characters to hand out up to
    qsizetype at = 0;

    void unit(char16_t c) {
        if (at >= skip && at < stop) {
            if (bytes)
                out.addByte(char(c));
            else
                out.addUnit(c);
        }
        ++at;
    }
    void mark() {}
    void raw(QByteArrayView run) {
        const qsizetype from = std::max<qsizetype>(skip - at, 0);
        const qsizetype to = std::min<qsizetype>(stop - at, run.size());
        if (from < to) out.addBytes(run.sliced(from, to - from));
        at += run.size();
    }
    void endRun() {
        if (!bytes) out.endRun();
    }
    void end(bool) {}
};

}  // namespace

std::optional<StoredValue> StoredValue::find(QByteArrayView file, QStringView section,
                                             QStringView key) {
    return find(
        [file](qint64 offset, char* to, qsizetype size) {
            const qsizetype n = std::clamp<qsizetype>(file.size() - offset, 0, size);
            if (n > 0) std::memcpy(to, file.data() + offset, size_t(n));
            return n;
        },
        section, key);
}

std::optional<StoredValue> StoredValue::find(StoreFileBytes file, QStringView section,
                                             QStringView key) {
    const QByteArray head = storeFileHead(section, key);
    QByteArray buffer(std::max(kReadSize, head.size()), Qt::Uninitialized);
    qint64 offset = 0;
    qsizetype got = file(0, buffer.data(), buffer.size());
    if (got < head.size() || !QByteArrayView(buffer).startsWith(head)) return std::nullopt;
    LineEnd line;
    Survey survey;
    Unescaper<Survey> unescape(survey);
    qsizetype from = head.size();
    qint64 valueEnd = 0;
    for (;;) {
        const QByteArrayView part(buffer.constData() + from, got - from);
        const qsizetype lineEnd = line.feed(part);
        if (line.failed()) return std::nullopt;
        if (!unescape.feed(lineEnd < 0 ? part : part.first(lineEnd))) return std::nullopt;
        if (lineEnd >= 0) {
            // After the line there may only be the '\n' that ends it, and then the file ends.
            valueEnd = offset + from + lineEnd;
            char more = 0;
            if (lineEnd + 1 != part.size() || part[lineEnd] != '\n' ||
                file(offset + got, &more, 1) != 0)
                return std::nullopt;
            break;
        }
        offset += got;
        from = 0;
        if (got < buffer.size() || (got = file(offset, buffer.data(), buffer.size())) == 0) {
            valueEnd = offset;
            break;
        }
        if (got < 0) return std::nullopt;
    }
    unescape.finish();
    if (survey.blankCut) return std::nullopt;

    StoredValue value;
    const bool closed = survey.count > 0 && survey.last == u')';
    if (survey.startsWith(QLatin1StringView(kBytesPrefix)) && closed) {
        // Bytes are characters up to 0xFF; QSettings reads other ones in a way of its own.
        if (survey.nonAsciiRun || survey.wideUnit) return std::nullopt;
        value.form_ = Form::Bytes;
        value.skip_ = kBytesPrefix.size();
        value.dropLast_ = true;
    } else if (survey.startsWith(QLatin1StringView("@@"))) {
        value.skip_ = 1;
    } else if (survey.startsWith(QLatin1StringView("@String(")) && closed) {
        value.skip_ = 8;
        value.dropLast_ = true;
    } else if (survey.count > 0 && survey.first[0] == u'@') {
        return std::nullopt;  // a typed value of QSettings' own
    }
    value.empty_ = survey.count - value.skip_ - (value.dropLast_ ? 1 : 0) <= 0;
    value.count_ = survey.count;
    value.file_ = std::move(file);
    value.start_ = head.size();
    value.end_ = valueEnd;
    return value;
}

bool StoredValue::decode(TextSink& pieces) const {
    Utf8Pieces out(pieces);
    Emit emit{out, form_ == Form::Bytes, skip_, count_ - (dropLast_ ? 1 : 0)};
    Unescaper<Emit> unescape(emit);
    QByteArray buffer(std::min<qint64>(kReadSize, end_ - start_), Qt::Uninitialized);
    // The first reads are short, so that the first rows come soon.
    qsizetype readSize = kFirstReadSize;
    for (qint64 at = start_; at < end_;) {
        const qsizetype n = qsizetype(std::min<qint64>({readSize, buffer.size(), end_ - at}));
        if (file_(at, buffer.data(), n) != n || !unescape.feed(buffer.first(n))) return false;
        at += n;
        readSize = std::min(readSize * 2, kReadSize);
    }
    unescape.finish();
    out.finish();
    return true;
}
