#pragma once
// The one source of chance of a generated book: std::mt19937 is the same sequence everywhere,
// and only its raw output is used, so a seed gives the same book on every machine.

#include <cstdint>
#include <random>
#include <vector>

namespace kompa::books {

class Dice {
public:
    explicit Dice(std::uint32_t seed) : engine_(seed) {}
    // 0 .. n - 1
    int Below(int n) { return n <= 1 ? 0 : static_cast<int>(engine_() % static_cast<unsigned>(n)); }
    int Between(int lo, int hi) { return lo + Below(hi - lo + 1); }
    bool Chance(int percent) { return Below(100) < percent; }
    // An index into weights, each as likely as its weight.
    int Weighted(const std::vector<int>& weights)
    {
        int total = 0;
        for (int weight : weights)
            total += weight;
        int roll = Below(total);
        for (std::size_t i = 0; i < weights.size(); ++i) {
            if (roll < weights[i])
                return static_cast<int>(i);
            roll -= weights[i];
        }
        return static_cast<int>(weights.size()) - 1;
    }
    template <class T> const T& Pick(const std::vector<T>& items)
    {
        return items[static_cast<std::size_t>(Below(static_cast<int>(items.size())))];
    }

private:
    std::mt19937 engine_;
};

} // namespace kompa::books
