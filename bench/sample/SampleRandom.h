#pragma once

#include <QDate>
#include <cstdint>
#include <random>
#include <vector>

// The generator's only source of chance. The engine's sequence is fixed by the standard; the ways of
// drawing from it are written here rather than taken from <random>'s distributions, whose results differ
// between libraries, so that a seed names the same club everywhere.
class SampleRandom {
public:
    explicit SampleRandom(std::uint64_t seed) : m_engine(seed) {}

    // A whole number from lo to hi, both included.
    std::int64_t between(std::int64_t lo, std::int64_t hi) {
        if (hi <= lo)
            return lo;
        const auto span = static_cast<unsigned __int128>(hi - lo) + 1;
        return lo + static_cast<std::int64_t>((static_cast<unsigned __int128>(m_engine()) * span) >> 64);
    }
    // An index into a list of n entries.
    std::size_t index(std::size_t n) { return static_cast<std::size_t>(between(0, std::int64_t(n) - 1)); }
    // True perMille times in a thousand.
    bool chance(int perMille) { return between(0, 999) < perMille; }
    // A day from lo to hi, both included.
    QDate dateBetween(const QDate &lo, const QDate &hi) {
        return lo.addDays(between(0, qMax<qint64>(0, lo.daysTo(hi))));
    }
    // An entry chosen by weight (weights need not add up to anything in particular).
    std::size_t weighted(const std::vector<int> &weights) {
        std::int64_t total = 0;
        for (int w : weights)
            total += w;
        std::int64_t pick = between(0, total - 1);
        for (std::size_t i = 0; i < weights.size(); ++i) {
            if (pick < weights[i])
                return i;
            pick -= weights[i];
        }
        return weights.size() - 1;
    }
    // An entry of a list (anything with size() and operator[]).
    template <typename List> const auto &pick(const List &list) { return list[index(list.size())]; }

private:
    std::mt19937_64 m_engine;
};
