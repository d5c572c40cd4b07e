#include "cli/unified_diff.h"

#include <algorithm>
#include <vector>

namespace srctdy {

namespace {

// Lines with their line ends; a last line without one is a line too.
std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t nl = text.find('\n', start);
        size_t end = nl == std::string_view::npos ? text.size() : nl + 1;
        lines.push_back(text.substr(start, end - start));
        start = end;
    }
    return lines;
}

enum class Op { Keep, Remove, Add };

// Myers' O(ND) shortest edit script between a[lo..) and b[lo..) without their common
// prefix and suffix. The frontiers are kept for the walk back, which costs O(D^2) memory: past
// kMaxEdits the middle is given as removed then added, which is still a correct diff.
constexpr int kMaxEdits = 4000;

std::vector<Op> MiddleScript(const std::vector<std::string_view>& a,
                             const std::vector<std::string_view>& b, int lo, int endA, int endB) {
    const int n = endA - lo, m = endB - lo;
    auto same = [&](int x, int y) { return a[lo + x] == b[lo + y]; };
    std::vector<std::vector<int>> trace; // trace[d][k + d]: furthest x on diagonal k
    int found = -1;
    for (int d = 0; d <= n + m && d <= kMaxEdits && found < 0; ++d) {
        std::vector<int> v(2 * d + 1);
        const std::vector<int>* prev = d > 0 ? &trace[d - 1] : nullptr;
        auto at = [&](int k) { return (*prev)[k + d - 1]; };
        for (int k = -d; k <= d; k += 2) {
            int x = d == 0                                           ? 0
                    : (k == -d || (k != d && at(k - 1) < at(k + 1))) ? at(k + 1)
                                                                     : at(k - 1) + 1;
            int y = x - k;
            while (x < n && y < m && same(x, y)) {
                ++x;
                ++y;
            }
            v[k + d] = x;
            if (x >= n && y >= m)
                found = d;
        }
        trace.push_back(std::move(v));
    }
    std::vector<Op> ops;
    if (found < 0) {
        ops.assign(n, Op::Remove);
        ops.insert(ops.end(), m, Op::Add);
        return ops;
    }
    int x = n, y = m;
    for (int d = found; d > 0; --d) {
        const std::vector<int>& prev = trace[d - 1];
        auto at = [&](int k) { return prev[k + d - 1]; };
        int k = x - y;
        int prevK = (k == -d || (k != d && at(k - 1) < at(k + 1))) ? k + 1 : k - 1;
        int prevX = at(prevK);
        int prevY = prevX - prevK;
        while (x > prevX && y > prevY) {
            ops.push_back(Op::Keep);
            --x;
            --y;
        }
        ops.push_back(x == prevX ? Op::Add : Op::Remove);
        x = prevX;
        y = prevY;
    }
    while (x > 0 && y > 0) {
        ops.push_back(Op::Keep);
        --x;
        --y;
    }
    std::reverse(ops.begin(), ops.end());
    return ops;
}

// Where a run of removed (or added) lines could stand a line later with the same result,
// moves it down, as diff does, so that equal texts give the same hunks.
void SlideRunsDown(std::vector<Op>& ops, const std::vector<std::string_view>& a,
                   const std::vector<std::string_view>& b) {
    size_t posA = 0, posB = 0;
    for (size_t i = 0; i < ops.size();) {
        if (ops[i] == Op::Keep) {
            ++posA;
            ++posB;
            ++i;
            continue;
        }
        const Op kind = ops[i];
        size_t end = i;
        while (end < ops.size() && ops[end] == kind)
            ++end;
        const std::vector<std::string_view>& lines = kind == Op::Remove ? a : b;
        size_t first = kind == Op::Remove ? posA : posB;
        size_t length = end - i;
        while (end < ops.size() && ops[end] == Op::Keep && lines[first] == lines[first + length]) {
            ops[i] = Op::Keep;
            ops[end] = kind;
            ++i;
            ++end;
            ++first;
            ++posA;
            ++posB;
        }
        (kind == Op::Remove ? posA : posB) += length;
        i = end;
    }
}

std::vector<Op> EditScript(const std::vector<std::string_view>& a,
                           const std::vector<std::string_view>& b) {
    int lo = 0;
    int endA = static_cast<int>(a.size()), endB = static_cast<int>(b.size());
    while (lo < endA && lo < endB && a[lo] == b[lo])
        ++lo;
    while (endA > lo && endB > lo && a[endA - 1] == b[endB - 1]) {
        --endA;
        --endB;
    }
    std::vector<Op> ops(lo, Op::Keep);
    std::vector<Op> middle = MiddleScript(a, b, lo, endA, endB);
    ops.insert(ops.end(), middle.begin(), middle.end());
    ops.insert(ops.end(), a.size() - endA, Op::Keep);
    SlideRunsDown(ops, a, b);
    return ops;
}

void AppendLine(std::string& out, char mark, std::string_view line) {
    out += mark;
    out.append(line);
    if (line.empty() || line.back() != '\n')
        out += "\n\\ No newline at end of file\n";
}

std::string Range(int start, int count) {
    // diff -u names an empty range by the line before it.
    if (count == 0)
        return std::to_string(start - 1) + ",0";
    if (count == 1)
        return std::to_string(start);
    return std::to_string(start) + "," + std::to_string(count);
}

} // namespace

std::string UnifiedDiff(std::string_view before, std::string_view after, std::string_view path,
                        int context) {
    if (before == after)
        return {};
    std::vector<std::string_view> a = SplitLines(before), b = SplitLines(after);
    std::vector<Op> ops = EditScript(a, b);

    std::string out = "--- a/" + std::string(path) + "\n+++ b/" + std::string(path) + "\n";
    const int total = static_cast<int>(ops.size());
    int i = 0;
    // Positions in a and b before ops[i].
    std::vector<int> posA(total + 1), posB(total + 1);
    for (int j = 0; j < total; ++j) {
        posA[j + 1] = posA[j] + (ops[j] != Op::Add);
        posB[j + 1] = posB[j] + (ops[j] != Op::Remove);
    }
    while (i < total) {
        while (i < total && ops[i] == Op::Keep)
            ++i;
        if (i == total)
            break;
        int start = std::max(0, i - context);
        // Extend the hunk while the next change is within 2 * context kept lines.
        int end = i;
        for (;;) {
            while (end < total && ops[end] != Op::Keep)
                ++end;
            int keep = end;
            while (keep < total && ops[keep] == Op::Keep)
                ++keep;
            if (keep < total && keep - end <= 2 * context) {
                end = keep;
                continue;
            }
            end = std::min(total, end + context);
            break;
        }
        int countA = posA[end] - posA[start], countB = posB[end] - posB[start];
        out += "@@ -" + Range(posA[start] + 1, countA) + " +" + Range(posB[start] + 1, countB) +
               " @@\n";
        for (int j = start; j < end; ++j) {
            if (ops[j] == Op::Keep)
                AppendLine(out, ' ', a[posA[j]]);
            else if (ops[j] == Op::Remove)
                AppendLine(out, '-', a[posA[j]]);
            else
                AppendLine(out, '+', b[posB[j]]);
        }
        i = end;
    }
    return out;
}

} // namespace srctdy
