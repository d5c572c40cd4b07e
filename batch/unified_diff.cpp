#include "batch/unified_diff.h"

#include <algorithm>
#include <climits>
#include <unordered_map>
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

// The edit script is found the way diff finds it, so that the hunks are the ones users know
// from `diff -u`: lines that cannot match are discarded first, the rest is compared with the
// bidirectional O(ND) search, and runs of changes are then shifted to their usual places.
class Comparison {
public:
    Comparison(const std::vector<std::string_view>& a, const std::vector<std::string_view>& b,
               int context) {
        std::unordered_map<std::string_view, int> classes;
        for (int f = 0; f < 2; ++f) {
            const auto& lines = f == 0 ? a : b;
            equivs_[f].reserve(lines.size());
            for (std::string_view line : lines)
                equivs_[f].push_back(
                    classes.emplace(line, static_cast<int>(classes.size())).first->second);
        }
        classCount_ = static_cast<int>(classes.size());
        // Identical ends take no part but for the context lines next to the changes.
        int n0 = static_cast<int>(a.size()), n1 = static_cast<int>(b.size());
        int prefix = 0;
        while (prefix < n0 && prefix < n1 && equivs_[0][prefix] == equivs_[1][prefix])
            ++prefix;
        int suffix = 0;
        while (suffix < n0 - prefix && suffix < n1 - prefix &&
               equivs_[0][n0 - 1 - suffix] == equivs_[1][n1 - 1 - suffix])
            ++suffix;
        first_ = std::max(0, prefix - context);
        const int keepSuffix = std::max(0, suffix - context);
        for (int f = 0; f < 2; ++f) {
            const int n = f == 0 ? n0 : n1;
            end_[f] = n - keepSuffix;
            // changed_[f][i + 1] is line first_ + i; one always-0 slot at each end.
            changed_[f].assign(end_[f] - first_ + 2, 0);
        }
    }

    // Lines of file f that are changed, by their index in the file.
    bool changed(int f, int line) const {
        return line >= first_ && line < end_[f] && changed_[f][line - first_ + 1] != 0;
    }

    void run() {
        discardConfusingLines();
        fd_.assign(undiscarded_[0].size() + undiscarded_[1].size() + 3, 0);
        bd_ = fd_;
        diagOffset_ = static_cast<int>(undiscarded_[1].size()) + 1;
        // Past about the square root of the size in edit steps, the search settles for a
        // good split instead of the best one, so that no input takes quadratic time.
        tooExpensive_ = 1;
        for (size_t diagonals = fd_.size(); diagonals != 0; diagonals >>= 2)
            tooExpensive_ <<= 1;
        tooExpensive_ = std::max(4096, tooExpensive_);
        compareseq(0, static_cast<int>(undiscarded_[0].size()), 0,
                   static_cast<int>(undiscarded_[1].size()), false);
        shiftBoundaries();
    }

private:
    int equiv(int f, int i) const { return equivs_[f][first_ + i]; } // i: buffered index
    char& flag(int f, int i) { return changed_[f][i + 1]; }
    int buffered(int f) const { return end_[f] - first_; }

    // Lines with no match in the other file are changes whatever else happens; taking them out
    // first (and lines matched very often, inside runs of such lines) keeps the search small.
    void discardConfusingLines() {
        std::vector<int> count[2];
        for (int f = 0; f < 2; ++f) {
            count[f].assign(classCount_, 0);
            for (int i = 0; i < buffered(f); ++i)
                ++count[f][equiv(f, i)];
        }
        for (int f = 0; f < 2; ++f) {
            const int end = buffered(f);
            std::vector<char> discards(end, 0);
            int many = 5;
            for (int tem = end / 64; (tem >>= 2) > 0;)
                many *= 2;
            for (int i = 0; i < end; ++i) {
                int matches = count[1 - f][equiv(f, i)];
                if (matches == 0)
                    discards[i] = 1;
                else if (matches > many)
                    discards[i] = 2;
            }
            // Provisional discards stand only inside runs of definite ones.
            for (int i = 0; i < end; ++i) {
                if (discards[i] == 2) {
                    discards[i] = 0;
                } else if (discards[i] != 0) {
                    int j, provisional = 0;
                    for (j = i; j < end; ++j) {
                        if (discards[j] == 0)
                            break;
                        if (discards[j] == 2)
                            ++provisional;
                    }
                    while (j > i && discards[j - 1] == 2) {
                        discards[--j] = 0;
                        --provisional;
                    }
                    const int length = j - i;
                    if (provisional * 4 > length) {
                        while (j > i)
                            if (discards[--j] == 2)
                                discards[j] = 0;
                    } else {
                        int minimum = 1;
                        for (int tem = length >> 2; (tem >>= 2) > 0;)
                            minimum <<= 1;
                        ++minimum;
                        for (int k = 0, consec = 0; k < length; ++k) {
                            if (discards[i + k] != 2)
                                consec = 0;
                            else if (minimum == ++consec)
                                k -= consec;
                            else if (minimum < consec)
                                discards[i + k] = 0;
                        }
                        for (int k = 0, consec = 0; k < length; ++k) {
                            if (k >= 8 && discards[i + k] == 1)
                                break;
                            if (discards[i + k] == 2) {
                                consec = 0;
                                discards[i + k] = 0;
                            } else if (discards[i + k] == 0) {
                                consec = 0;
                            } else {
                                ++consec;
                            }
                            if (consec == 3)
                                break;
                        }
                        i += length - 1;
                        for (int k = 0, consec = 0; k < length; ++k) {
                            if (k >= 8 && discards[i - k] == 1)
                                break;
                            if (discards[i - k] == 2) {
                                consec = 0;
                                discards[i - k] = 0;
                            } else if (discards[i - k] == 0) {
                                consec = 0;
                            } else {
                                ++consec;
                            }
                            if (consec == 3)
                                break;
                        }
                    }
                }
            }
            for (int i = 0; i < end; ++i) {
                if (discards[i]) {
                    flag(f, i) = 1;
                } else {
                    undiscarded_[f].push_back(equiv(f, i));
                    realIndex_[f].push_back(i);
                }
            }
        }
    }

    int& fd(int diagonal) { return fd_[diagonal + diagOffset_]; }
    int& bd(int diagonal) { return bd_[diagonal + diagOffset_]; }
    bool same(int x, int y) const { return undiscarded_[0][x] == undiscarded_[1][y]; }

    // Finds the middle of a shortest edit script of x[xoff, xlim) and y[yoff, ylim).
    struct Split {
        int xmid, ymid;
        bool loMinimal, hiMinimal;
    };

    Split diag(int xoff, int xlim, int yoff, int ylim, bool findMinimal) {
        const int dmin = xoff - ylim, dmax = xlim - yoff;
        const int fmid = xoff - yoff, bmid = xlim - ylim;
        int fmin = fmid, fmax = fmid, bmin = bmid, bmax = bmid;
        const bool odd = (fmid - bmid) & 1;
        fd(fmid) = xoff;
        bd(bmid) = xlim;
        for (int cost = 1;; ++cost) {
            if (fmin > dmin)
                fd(--fmin - 1) = -1;
            else
                ++fmin;
            if (fmax < dmax)
                fd(++fmax + 1) = -1;
            else
                --fmax;
            for (int d = fmax; d >= fmin; d -= 2) {
                int tlo = fd(d - 1), thi = fd(d + 1);
                int x = tlo < thi ? thi : tlo + 1;
                int y = x - d;
                while (x < xlim && y < ylim && same(x, y)) {
                    ++x;
                    ++y;
                }
                fd(d) = x;
                if (odd && bmin <= d && d <= bmax && bd(d) <= x)
                    return {x, y, true, true};
            }
            if (bmin > dmin)
                bd(--bmin - 1) = INT_MAX;
            else
                ++bmin;
            if (bmax < dmax)
                bd(++bmax + 1) = INT_MAX;
            else
                --bmax;
            for (int d = bmax; d >= bmin; d -= 2) {
                int tlo = bd(d - 1), thi = bd(d + 1);
                int x = tlo < thi ? tlo : thi - 1;
                int y = x - d;
                while (xoff < x && yoff < y && same(x - 1, y - 1)) {
                    --x;
                    --y;
                }
                bd(d) = x;
                if (!odd && fmin <= d && d <= fmax && x <= fd(d))
                    return {x, y, true, true};
            }
            if (findMinimal || cost < tooExpensive_)
                continue;
            // The furthest forward and backward points so far; the better one splits.
            int fxybest = -1, fxbest = 0;
            for (int d = fmax; d >= fmin; d -= 2) {
                int x = std::min(fd(d), xlim), y = x - d;
                if (ylim < y) {
                    x = ylim + d;
                    y = ylim;
                }
                if (fxybest < x + y) {
                    fxybest = x + y;
                    fxbest = x;
                }
            }
            int bxybest = INT_MAX, bxbest = 0;
            for (int d = bmax; d >= bmin; d -= 2) {
                int x = std::max(xoff, bd(d)), y = x - d;
                if (y < yoff) {
                    x = yoff + d;
                    y = yoff;
                }
                if (x + y < bxybest) {
                    bxybest = x + y;
                    bxbest = x;
                }
            }
            if ((xlim + ylim) - bxybest < fxybest - (xoff + yoff))
                return {fxbest, fxybest - fxbest, true, false};
            return {bxbest, bxybest - bxbest, false, true};
        }
    }

    void compareseq(int xoff, int xlim, int yoff, int ylim, bool findMinimal) {
        while (xoff < xlim && yoff < ylim && same(xoff, yoff)) {
            ++xoff;
            ++yoff;
        }
        while (xoff < xlim && yoff < ylim && same(xlim - 1, ylim - 1)) {
            --xlim;
            --ylim;
        }
        if (xoff == xlim) {
            while (yoff < ylim)
                flag(1, realIndex_[1][yoff++]) = 1;
        } else if (yoff == ylim) {
            while (xoff < xlim)
                flag(0, realIndex_[0][xoff++]) = 1;
        } else {
            Split split = diag(xoff, xlim, yoff, ylim, findMinimal);
            compareseq(xoff, split.xmid, yoff, split.ymid, split.loMinimal);
            compareseq(split.xmid, xlim, split.ymid, ylim, split.hiMinimal);
        }
    }

    // Moves each run of changes as far down as it can go, or to where it meets a change in
    // the other file, merging runs on the way.
    void shiftBoundaries() {
        for (int f = 0; f < 2; ++f) {
            char* changed = changed_[f].data() + 1;
            const char* other = changed_[1 - f].data() + 1;
            const int iEnd = buffered(f);
            int i = 0, j = 0;
            for (;;) {
                while (i < iEnd && !changed[i]) {
                    while (other[j++])
                        continue;
                    ++i;
                }
                if (i == iEnd)
                    break;
                int start = i;
                while (changed[++i])
                    continue;
                while (other[j])
                    ++j;
                int runLength, corresponding;
                do {
                    runLength = i - start;
                    while (start && equiv(f, start - 1) == equiv(f, i - 1)) {
                        changed[--start] = 1;
                        changed[--i] = 0;
                        while (changed[start - 1])
                            --start;
                        while (other[--j])
                            continue;
                    }
                    corresponding = other[j - 1] ? i : iEnd;
                    while (i != iEnd && equiv(f, start) == equiv(f, i)) {
                        changed[start++] = 0;
                        changed[i++] = 1;
                        while (changed[i])
                            ++i;
                        while (other[++j])
                            corresponding = i;
                    }
                } while (runLength != i - start);
                while (corresponding < i) {
                    changed[--start] = 1;
                    changed[--i] = 0;
                    while (other[--j])
                        continue;
                }
            }
        }
    }

    std::vector<int> equivs_[2];
    int classCount_ = 0;
    int first_ = 0; // first line taking part (the same in both files)
    int end_[2] = {0, 0};
    std::vector<char> changed_[2];
    std::vector<int> undiscarded_[2];
    std::vector<int> realIndex_[2];
    std::vector<int> fd_, bd_;
    int diagOffset_ = 0;
    int tooExpensive_ = 4096;
};

std::vector<Op> EditScript(const std::vector<std::string_view>& a,
                           const std::vector<std::string_view>& b, int context) {
    Comparison comparison(a, b, context);
    comparison.run();
    std::vector<Op> ops;
    int i0 = 0, i1 = 0;
    const int n0 = static_cast<int>(a.size()), n1 = static_cast<int>(b.size());
    auto changed = [&](int f, int i) {
        return i < (f == 0 ? n0 : n1) && i >= 0 && comparison.changed(f, i);
    };
    while (i0 < n0 || i1 < n1) {
        if (changed(0, i0) || changed(1, i1)) {
            while (changed(0, i0)) {
                ops.push_back(Op::Remove);
                ++i0;
            }
            while (changed(1, i1)) {
                ops.push_back(Op::Add);
                ++i1;
            }
        } else {
            ops.push_back(Op::Keep);
            ++i0;
            ++i1;
        }
    }
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
    std::vector<Op> ops = EditScript(a, b, context);

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
