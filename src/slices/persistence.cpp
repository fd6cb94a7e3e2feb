#include "slices/persistence.h"

#include "platform/controls/list_view.h"
#include "platform/store/settings_store.h"
#include "runtime/error_report.h"
#include "runtime/titles.h"
#include "slices/store_notice.h"
#include "windows/form1.h"

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <exception>
#include <iterator>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr QStringView separator() { return QStringView(kNameValueSeparator); }
constexpr QStringView terminator() { return QStringView(kRowTerminator); }

qsizetype encodedLength(const SliceTableModel& items, qsizetype row) {
    return items.rowTextLength(row) + separator().size() + terminator().size();
}

qsizetype encodedSize(const SliceTableModel& items) {
    qsizetype size = 0;
    for (qsizetype row = 1; row <= items.count(); ++row) size += encodedLength(items, row);
    return size;
}

char16_t* put(QStringView text, char16_t* out) {
    std::memcpy(out, text.utf16(), size_t(text.size()) * sizeof(char16_t));
    return out + text.size();
}

// Writes the row's encoding at out, which has room for it; the end. The text is sized once for
// the whole list and each row written in place: appending piece by piece costs several times
// as much for a long list.
char16_t* encodeRow(const SliceTableModel& items, qsizetype row, char16_t* out) {
    out = items.copyText(row, out);
    out = put(separator(), out);
    out = items.copySubItem(row, out);
    return put(terminator(), out);
}

constexpr qsizetype kMarkerLength = 15;

// Both separator texts start with a letter that occurs nowhere else in either, so no occurrence
// of one can begin inside an occurrence of the other or of itself: one left-to-right pass that
// steps over each occurrence finds every terminator and separator exactly as separate searches
// would.
constexpr bool leadsOnlyOnce(const char16_t* marker, char16_t lead) {
    for (qsizetype i = 1; i < kMarkerLength; ++i)
        if (marker[i] == lead) return false;
    return true;
}
static_assert(std::size(kNameValueSeparator) == kMarkerLength + 1 &&
              std::size(kRowTerminator) == kMarkerLength + 1);
static_assert(kNameValueSeparator[0] == kRowTerminator[0] &&
              leadsOnlyOnce(kNameValueSeparator, kRowTerminator[0]) &&
              leadsOnlyOnce(kRowTerminator, kRowTerminator[0]));

// The markers in each form the stored text comes in: one byte a character (they are ASCII) and
// UTF-16.
struct Markers {
    // A byte more each, so that sixteen can be looked at in one go.
    char separator[kMarkerLength + 1];
    char terminator[kMarkerLength + 1];
};
constexpr Markers latin1Markers() {
    Markers m{};
    for (qsizetype i = 0; i < kMarkerLength; ++i) {
        m.separator[i] = char(kNameValueSeparator[i]);
        m.terminator[i] = char(kRowTerminator[i]);
    }
    return m;
}
constexpr Markers kLatin1Markers = latin1Markers();
constexpr bool isAscii(const char16_t* marker) {
    for (qsizetype i = 0; i < kMarkerLength; ++i)
        if (marker[i] > 0x7F) return false;
    return true;
}
static_assert(isAscii(kNameValueSeparator) && isAscii(kRowTerminator));

const char* separatorIn(const char*) { return kLatin1Markers.separator; }
const char* terminatorIn(const char*) { return kLatin1Markers.terminator; }
const char16_t* separatorIn(const char16_t*) { return kNameValueSeparator; }
const char16_t* terminatorIn(const char16_t*) { return kRowTerminator; }

enum class Marker { None, Separator, Terminator };

// Which marker stands at at, in a text of size characters that holds a whole one from at on.
template <class Char>
Marker markerAt(const Char* p, qsizetype at, qsizetype size) {
#if defined(__SSE2__)
    if constexpr (sizeof(Char) == 1) {
        // One look at sixteen bytes where they are all in the text.
        if (at + 16 <= size) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + at));
            auto same = [v](const char* marker) {
                const __m128i m = _mm_loadu_si128(reinterpret_cast<const __m128i*>(marker));
                return (_mm_movemask_epi8(_mm_cmpeq_epi8(v, m)) & 0x7FFF) == 0x7FFF;
            };
            if (same(kLatin1Markers.terminator)) return Marker::Terminator;
            return same(kLatin1Markers.separator) ? Marker::Separator : Marker::None;
        }
    }
#endif
    auto same = [&](const Char* marker) {
        return std::memcmp(p + at, marker, kMarkerLength * sizeof(Char)) == 0;
    };
    if (same(terminatorIn(p))) return Marker::Terminator;
    return same(separatorIn(p)) ? Marker::Separator : Marker::None;
}

// The first place from from on, before to, where the first two characters of the markers stand;
// to when none does. Sixteen bytes at a time where the processor can, inline: the markers come
// every dozen characters or so, too often for a search that is a call. The text holds a whole
// marker from any place before to.
template <class Char>
qsizetype findLead(const Char* p, qsizetype from, qsizetype to) {
    constexpr Char kLead = Char(kRowTerminator[0]);
    constexpr Char kNext = Char(kRowTerminator[1]);
#if defined(__SSE2__)
    constexpr qsizetype kStep = 16 / sizeof(Char);
    // Both loads stay inside the text: a marker follows every place before to.
    for (; from + kStep <= to; from += kStep) {
        const auto* at = reinterpret_cast<const __m128i*>(p + from);
        const __m128i v = _mm_loadu_si128(at);
        const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + from + 1));
        const __m128i hits = sizeof(Char) == 1
                                 ? _mm_and_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8(char(kLead))),
                                                 _mm_cmpeq_epi8(w, _mm_set1_epi8(char(kNext))))
                                 : _mm_and_si128(_mm_cmpeq_epi16(v, _mm_set1_epi16(short(kLead))),
                                                 _mm_cmpeq_epi16(w, _mm_set1_epi16(short(kNext))));
        if (const int hit = _mm_movemask_epi8(hits))
            return from + qsizetype(__builtin_ctz(unsigned(hit)) / sizeof(Char));
    }
#endif
    while (from < to && !(p[from] == kLead && p[from + 1] == kNext)) ++from;
    return from;
}

// The first name/value separator in the text from a position on, or -1.
template <class Char>
qsizetype findSeparator(const Char* p, qsizetype size, qsizetype from) {
    const qsizetype to = size - kMarkerLength + 1;
    for (qsizetype i = findLead(p, from, to); i < to; i = findLead(p, i + 1, to))
        if (markerAt(p, i, size) == Marker::Separator) return i;
    return -1;
}
qsizetype findSeparator(QStringView text, qsizetype from) {
    return findSeparator(reinterpret_cast<const char16_t*>(text.utf16()), text.size(), from);
}
qsizetype findSeparator(QLatin1StringView text, qsizetype from) {
    return findSeparator(text.data(), text.size(), from);
}

// Where the first row terminator in text ends; its size when it holds none.
template <class Char>
qsizetype firstTerminatorEnd(const Char* p, qsizetype size) {
    const qsizetype to = size - kMarkerLength + 1;
    for (qsizetype i = findLead(p, 0, to); i < to; i = findLead(p, i + 1, to))
        if (markerAt(p, i, size) == Marker::Terminator) return i + kMarkerLength;
    return size;
}

// Splits the stored text into pieces at the row terminators as it arrives in parts, noting the
// first name/value separator of each piece. The pieces are handed out where they stand in the
// part, in the part's form (one byte a character or UTF-16); only the piece that runs on into
// the next part is copied, to be finished there.
template <class OnPiece>
class PieceSplitter : public TextSink {
  public:
    // onPiece(piece, separator), piece a QLatin1StringView or a QStringView: separator is the
    // position of the first name/value separator in the piece, or -1.
    explicit PieceSplitter(OnPiece& onPiece) : onPiece_(onPiece) {}

    void put(QLatin1StringView part) override { feed(part.data(), part.size()); }
    void put(QStringView part) override {
        feed(reinterpret_cast<const char16_t*>(part.utf16()), part.size());
    }
    void finish() {
        const char16_t* p = utf16(held_);
        held_scan_.split(p, held_.size(), onPiece_);
        onPiece_(QStringView(p + held_scan_.start, held_.size() - held_scan_.start),
                 held_scan_.separator < 0 ? -1 : held_scan_.separator - held_scan_.start);
    }

  private:
    // Where a look through a text has got to.
    struct Scan {
        qsizetype start = 0;  // of the unfinished piece
        qsizetype at = 0;     // where to look on
        qsizetype separator = -1;

        template <class Char>
        void split(const Char* p, qsizetype size, OnPiece& onPiece) {
            // A marker that has not fully arrived is looked at once it has.
            const qsizetype to = size - kMarkerLength + 1;
            while ((at = findLead(p, at, to)) < to) {
                const Marker marker = markerAt(p, at, size);
                if (marker == Marker::Terminator) {
                    onPiece(view(p + start, at - start), separator < 0 ? -1 : separator - start);
                    at += kMarkerLength;
                    start = at;
                    separator = -1;
                } else if (marker == Marker::Separator) {
                    if (separator < 0) separator = at;
                    at += kMarkerLength;
                } else {
                    ++at;
                }
            }
        }
    };

    static QLatin1StringView view(const char* p, qsizetype size) { return {p, size}; }
    static QStringView view(const char16_t* p, qsizetype size) { return {p, size}; }
    static const char16_t* utf16(const QString& text) {
        return reinterpret_cast<const char16_t*>(text.utf16());
    }
    static void append(QString& to, const char* p, qsizetype size) {
        to.append(QLatin1StringView(p, size));
    }
    static void append(QString& to, const char16_t* p, qsizetype size) {
        to.append(QStringView(p, size));
    }

    template <class Char>
    void feed(const Char* p, qsizetype size) {
        if (!held_.isEmpty()) {
            // The piece from before ends in this part at the latest with the part's first
            // terminator; one may also have begun before the part.
            const qsizetype end = firstTerminatorEnd(p, size);
            append(held_, p, end);
            held_scan_.split(utf16(held_), held_.size(), onPiece_);
            if (end == size) return keep(held_.sliced(held_scan_.start), held_scan_);
            p += end;  // the held text is used up
            size -= end;
        }
        Scan scan;
        scan.split(p, size, onPiece_);
        QString rest;
        append(rest, p + scan.start, size - scan.start);
        keep(std::move(rest), scan);
    }
    // Keeps the unfinished piece of text, from scan.start on, which scan has looked through.
    void keep(QString rest, Scan scan) {
        held_ = std::move(rest);
        scan.at -= scan.start;
        if (scan.separator >= 0) scan.separator -= scan.start;
        scan.start = 0;
        held_scan_ = scan;
    }

    OnPiece& onPiece_;
    QString held_;
    Scan held_scan_;
};

// Reads and splits the stored text on a worker thread while the rows are restored on the
// calling one, which so does little more than add them: on a long list reading and splitting
// are a third of the work. The pieces cross over in batches, a few at most ahead, so the text is
// still never held whole.
class PiecesAhead {
  public:
    // room: where the list will put the rows, made ready a batch at a time as they are split.
    PiecesAhead(const StoredText& text, const SliceTableModel::Room& room)
        : room_(room), worker_([this, &text] { produce(text); }) {}
    ~PiecesAhead() {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            stopped_ = true;
        }
        changed_.notify_all();
        worker_.join();
    }

    // onPiece(piece, separator) as PieceSplitter calls it, for every piece in order, on this
    // thread; then rethrows what the reading threw, as reading here would have after them.
    template <class OnPiece>
    void forEach(OnPiece&& onPiece) {
        for (Batch batch;;) {
            {
                std::unique_lock<std::mutex> lock(mutex_);
                if (!batch.pieces.empty()) spare_.push_back(std::move(batch));
                changed_.wait(lock, [this] { return !full_.empty() || done_; });
                if (full_.empty()) break;
                batch = std::move(full_.front());
                full_.pop_front();
            }
            changed_.notify_all();
            // Each form's pieces lie one after the other in its text.
            qsizetype narrowAt = 0;
            qsizetype wideAt = 0;
            for (const Piece& piece : batch.pieces) {
                const qsizetype size = qsizetype(piece.size);
                if (piece.wide) {
                    onPiece(QStringView(batch.wide).sliced(wideAt, size), piece.separator);
                    wideAt += size;
                } else {
                    onPiece(QLatin1StringView(batch.narrow).sliced(narrowAt, size),
                            piece.separator);
                    narrowAt += size;
                }
            }
        }
        if (error_) std::rethrow_exception(error_);
    }

  private:
    struct Piece {
        quint64 size : 63;
        quint64 wide : 1;
        qsizetype separator;
    };
    struct Batch {
        QByteArray narrow;
        QString wide;
        std::vector<Piece> pieces;
    };
    struct Stopped {};
    // The first batches are small, so that the rows begin to go in at once; later ones large,
    // so that they cross over seldom.
    static constexpr qsizetype kFirstBatchCharacters = 1 << 12;
    static constexpr qsizetype kBatchCharacters = 1 << 16;
    static constexpr size_t kBatchesAhead = 4;

    void produce(const StoredText& text) {
        Batch batch = fresh();
        qsizetype batchCharacters = kFirstBatchCharacters;
        try {
            auto onPiece = [&](auto piece, qsizetype separator) {
                constexpr bool wide = std::is_same_v<decltype(piece), QStringView>;
                batch.pieces.push_back(Piece{quint64(piece.size()), wide, separator});
                // The list keeps the name and the value, not the marker between them.
                cells_ += piece.size() - (separator >= 0 ? kMarkerLength : 0);
                if constexpr (wide)
                    batch.wide.append(piece);
                else
                    batch.narrow.append(piece.data(), piece.size());
                if (batch.narrow.size() + batch.wide.size() >= batchCharacters) {
                    hand(std::move(batch));
                    batch = fresh();
                    batchCharacters = std::min(batchCharacters * 2, kBatchCharacters);
                }
            };
            PieceSplitter splitter(onPiece);
            text.read(splitter);
            splitter.finish();
            hand(std::move(batch));
        } catch (const Stopped&) {
        } catch (...) {
            // The pieces split before the failure are restored, as they would be here.
            const std::exception_ptr error = std::current_exception();
            try {
                hand(std::move(batch));
            } catch (...) {
            }
            const std::lock_guard<std::mutex> lock(mutex_);
            error_ = error;
        }
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            done_ = true;
        }
        changed_.notify_all();
    }
    // An empty batch, with the room of one used before where there is one.
    Batch fresh() {
        Batch batch;
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            if (!spare_.empty()) {
                batch = std::move(spare_.back());
                spare_.pop_back();
            }
        }
        batch.narrow.truncate(0);
        batch.wide.truncate(0);
        batch.pieces.clear();
        return batch;
    }
    void hand(Batch batch) {
        const qsizetype rows = rows_ + qsizetype(batch.pieces.size());
        SliceTableModel::readyRoom(room_, readyCells_, cells_, rows_, rows);
        readyCells_ = cells_;
        rows_ = rows;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [this] { return full_.size() < kBatchesAhead || stopped_; });
            if (stopped_) throw Stopped();
            full_.push_back(std::move(batch));
        }
        changed_.notify_all();
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Batch> full_;
    std::vector<Batch> spare_;
    bool done_ = false;
    bool stopped_ = false;
    std::exception_ptr error_;
    const SliceTableModel::Room room_;
    // The worker's alone: what the pieces so far will take in the list, and what is ready.
    qsizetype cells_ = 0;
    qsizetype readyCells_ = 0;
    qsizetype rows_ = 0;
    std::thread worker_;  // last: it starts once the rest is in place
};

// Lines 144 to 150 for one piece of the stored text, a QLatin1StringView or a QStringView.
template <class Text>
void restorePiece(ListView& list, GuardedProcedure& guard, Text piece, qsizetype separatorAt) {
    if (guard.exitTest(144, [&] { return piece.isEmpty(); })) return;
    Text name;
    Text value;
    const bool hasValue = separatorAt >= 0;
    guard.step(146, [&] {
        name = hasValue ? piece.first(separatorAt) : piece;
        if (hasValue) {
            // Fields after the value are ignored.
            const Text rest = piece.sliced(name.size() + kMarkerLength);
            const qsizetype next = findSeparator(rest, 0);
            value = next < 0 ? rest : rest.first(next);
        }
    });
    qsizetype row = 0;
    guard.step(148, [&] { row = list.add(name); });
    guard.step(150, [&] {
        if (!hasValue)
            throw Failure(QStringLiteral("The stored row \"%1\" has no value part.")
                              .arg(name.left(80).toString()));
        list.setSubItem(row, value);
    });
}

// Rows first to last, in runs; each run is encoded straight into the store's file.
using RowRuns = std::vector<std::pair<qsizetype, qsizetype>>;

void storeRows(Form1& form, const RowRuns& runs, qsizetype length) {
    const SliceTableModel& items = form.ListView1->items();
    // The markers are ASCII, and one byte a character is the quicker form to encode.
    const QByteArray separatorBytes = separator().toLatin1();
    const QByteArray terminatorBytes = terminator().toLatin1();
    const QLatin1StringView separatorText(separatorBytes);
    const QLatin1StringView terminatorText(terminatorBytes);
    form.platform.settings->saveSetting(
        QString::fromUtf16(kSettingsAppName), productTitle(), QString::fromUtf16(kDataKey),
        [&](TextSink& text) {
            for (const auto& run : runs)
                items.forEachRow(run.first, run.second,
                                 [&](QAnyStringView name, QAnyStringView value) {
                                     text.putAny(name);
                                     text.put(separatorText);
                                     text.putAny(value);
                                     text.put(terminatorText);
                                 });
        },
        length);
}

}  // namespace

QString encodeList(const ListView& list) {
    const SliceTableModel& items = list.items();
    QString text(encodedSize(items), Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(text.data());
    for (qsizetype row = 1; row <= items.count(); ++row) out = encodeRow(items, row, out);
    return text;
}

bool storeListWithoutWindows(Form1& form) {
    try {
        const SliceTableModel& items = form.ListView1->items();
        const RowRuns all = items.count() > 0 ? RowRuns{{1, items.count()}} : RowRuns{};
        storeRows(form, all, encodedSize(items));
        return true;
    } catch (const std::exception& failure) {
        // A list too large to encode is not stored in part: the whole earlier one stays.
        std::fprintf(stderr, "The list could not be stored: %s\n", failure.what());
        return false;
    }
}

bool saveList(Form1& form, GuardedProcedure& guard) {
    const SliceTableModel& items = form.ListView1->items();
    // The text is the rows that line 104 took, in runs of consecutive rows; it is encoded
    // straight into the store's file at line 108 rather than held whole here.
    RowRuns runs;
    qsizetype length = 0;
    bool whole = true;
    guard.step(100, [&] { runs.clear(); });
    // Counters are as wide as the list: every row is stored, however many there are.
    guard.forLoop(
        102, 106, [&] { return std::pair<qsizetype, qsizetype>(1, items.count()); },
        [&](qsizetype row) {
            whole = guard.step(104, [&] {
                length += encodedLength(items, row);
                if (!runs.empty() && runs.back().second == row - 1)
                    runs.back().second = row;
                else
                    runs.emplace_back(row, row);
            }) && whole;
        });
    return guard.step(108, [&] { storeRows(form, runs, length); }) && whole;
}

void restoreList(Form1& form, GuardedProcedure& guard) {
    ListView& list = *form.ListView1;
    std::unique_ptr<StoredText> text;
    guard.step(136, [&] {
        text = form.platform.settings->readSetting(QString::fromUtf16(kSettingsAppName),
                                                   productTitle(), QString::fromUtf16(kDataKey));
    });
    tellOfUnreadableStore(form);
    if (guard.exitTest(138, [&] { return !text || text->isEmpty(); })) return;
    // The text is split and its pieces restored as it is read, so it is never held whole; the
    // numbered statements keep their order for each piece.
    guard.step(140, [&] {
        try {
            // Every row takes two markers, so this is more rows than can come; room that is
            // never used costs no memory.
            const qsizetype size = text->sizeHint();
            list.items().reserveAppends(size / (2 * kMarkerLength) + 1, size);
        } catch (const std::bad_alloc&) {
            // Only a hint: the rows still go in, one growth at a time.
        }
        // A failed loop header runs the body once, with the first piece, and ends the loop;
        // so does a failed Next.
        const bool header = guard.step(142, [] {});
        bool ended = false;
        auto body = [&](auto piece, qsizetype separatorAt) {
            if (ended) return;
            restorePiece(list, guard, piece, separatorAt);
            ended = !header || !guard.step(152, [] {});
        };
        std::optional<PiecesAhead> ahead;
        try {
            ahead.emplace(*text, list.items().room());
        } catch (const std::system_error&) {
            // No thread to be had: the text is read here, between the rows.
            PieceSplitter splitter(body);
            text->read(splitter);
            splitter.finish();
            return;
        }
        ahead->forEach(body);
    });
}
