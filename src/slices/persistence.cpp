#include "slices/persistence.h"

#include "platform/controls/list_view.h"
#include "platform/store/settings_store.h"
#include "runtime/error_report.h"
#include "runtime/titles.h"
#include "slices/store_notice.h"
#include "windows/form1.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <memory>
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

bool markerAt(const char16_t* at, const char16_t* marker) {
    return std::memcmp(at, marker, kMarkerLength * sizeof(char16_t)) == 0;
}

// The first place from from on, before to, where a marker's lead character stands; to when
// none does. Eight characters at a time where the processor can, inline: the markers come every
// dozen characters or so, too often for a search that is a call.
qsizetype findLead(const char16_t* p, qsizetype from, qsizetype to) {
#if defined(__SSE2__)
    const __m128i lead = _mm_set1_epi16(short(kRowTerminator[0]));
    for (; from + 8 <= to; from += 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + from));
        if (const int hit = _mm_movemask_epi8(_mm_cmpeq_epi16(v, lead)))
            return from + __builtin_ctz(unsigned(hit)) / 2;
    }
#endif
    while (from < to && p[from] != kRowTerminator[0]) ++from;
    return from;
}

// The first name/value separator in text from a position on, or -1.
qsizetype findSeparator(QStringView text, qsizetype from) {
    const char16_t* p = reinterpret_cast<const char16_t*>(text.utf16());
    const qsizetype to = text.size() - kMarkerLength + 1;
    for (qsizetype i = findLead(p, from, to); i < to; i = findLead(p, i + 1, to))
        if (markerAt(p + i, kNameValueSeparator)) return i;
    return -1;
}

// Where the first row terminator in text ends; its size when it holds none.
qsizetype firstTerminatorEnd(const char16_t* p, qsizetype size) {
    const qsizetype to = size - kMarkerLength + 1;
    for (qsizetype i = findLead(p, 0, to); i < to; i = findLead(p, i + 1, to))
        if (markerAt(p + i, kRowTerminator)) return i + kMarkerLength;
    return size;
}

// Splits the stored text into pieces at the row terminators as it arrives in parts, noting the
// first name/value separator of each piece. The pieces are handed out where they stand in the
// part; only the piece that runs on into the next part is copied, to be finished there.
class PieceSplitter {
  public:
    // onPiece(piece, separator): separator is the position of the first name/value separator
    // in the piece, or -1.
    template <class OnPiece>
    void feed(QStringView part, OnPiece&& onPiece) {
        if (!held_.isEmpty()) {
            // The piece from before ends in this part at the latest with the part's first
            // terminator; one may also have begun before the part.
            const qsizetype end = firstTerminatorEnd(utf16(part), part.size());
            held_.append(part.first(end));
            held_scan_.split(utf16(held_), held_.size(), onPiece);
            if (end == part.size()) return keep(QString(held_), held_scan_);
            part = part.sliced(end);  // the held text is used up
        }
        Scan scan;
        scan.split(utf16(part), part.size(), onPiece);
        keep(part, scan);
    }
    template <class OnPiece>
    void finish(OnPiece&& onPiece) {
        const char16_t* p = utf16(held_);
        held_scan_.split(p, held_.size(), onPiece);
        onPiece(QStringView(p + held_scan_.start, held_.size() - held_scan_.start),
                held_scan_.separator < 0 ? -1 : held_scan_.separator - held_scan_.start);
    }

  private:
    // Where a look through a text has got to.
    struct Scan {
        qsizetype start = 0;  // of the unfinished piece
        qsizetype at = 0;     // where to look on
        qsizetype separator = -1;

        template <class OnPiece>
        void split(const char16_t* p, qsizetype size, OnPiece& onPiece) {
            // A marker that has not fully arrived is looked at once it has.
            const qsizetype to = size - kMarkerLength + 1;
            while ((at = findLead(p, at, to)) < to) {
                if (markerAt(p + at, kRowTerminator)) {
                    onPiece(QStringView(p + start, at - start),
                            separator < 0 ? -1 : separator - start);
                    at += kMarkerLength;
                    start = at;
                    separator = -1;
                } else if (markerAt(p + at, kNameValueSeparator)) {
                    if (separator < 0) separator = at;
                    at += kMarkerLength;
                } else {
                    ++at;
                }
            }
        }
    };

    static const char16_t* utf16(QStringView text) {
        return reinterpret_cast<const char16_t*>(text.utf16());
    }
    // Keeps the unfinished piece of text, which scan has looked through.
    void keep(QStringView text, Scan scan) {
        held_ = text.sliced(scan.start).toString();
        scan.at -= scan.start;
        if (scan.separator >= 0) scan.separator -= scan.start;
        scan.start = 0;
        held_scan_ = scan;
    }

    QString held_;
    Scan held_scan_;
};

// Lines 144 to 150 for one piece of the stored text.
void restorePiece(ListView& list, GuardedProcedure& guard, QStringView piece,
                  qsizetype separatorAt) {
    if (guard.exitTest(144, [&] { return piece.isEmpty(); })) return;
    QStringView name;
    QStringView value;
    const bool hasValue = separatorAt >= 0;
    guard.step(146, [&] {
        name = hasValue ? piece.first(separatorAt) : piece;
        if (hasValue) {
            // Fields after the value are ignored.
            const QStringView rest = piece.sliced(name.size() + kMarkerLength);
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
        auto body = [&](QStringView piece, qsizetype separatorAt) {
            if (ended) return;
            restorePiece(list, guard, piece, separatorAt);
            ended = !header || !guard.step(152, [] {});
        };
        PieceSplitter splitter;
        text->read([&](QStringView part) { splitter.feed(part, body); });
        splitter.finish(body);
    });
}
