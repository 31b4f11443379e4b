#pragma once
// The shuffled sequence of the automatic change: the folder's files in a
// random order, each once a round, a new order every round, and never the
// file that ended one round at the start of the next. A different folder,
// mask or set of files begins a new round.
//
// A round is fixed by a 64-bit seed, the list it was drawn for and the file
// that ended the round before, so it is kept between runs as the text
// "SEED LIST AFTER" (two hexadecimal numbers, then the file's name); the
// position within the round is the automatic change's own index.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vantoria {

class ShuffleOrder {
public:
    // Where the seed of a round not derived from the one before comes from;
    // std::random_device when not given (tests give a fixed one).
    using SeedSource = std::function<std::uint64_t()>;
    explicit ShuffleOrder(SeedSource fresh = {});

    // The round as State() gave it; text that is not one means no round.
    void Restore(std::string_view stored);
    std::string State() const;

    // The index into `files` of the file at `position` (less than
    // files.size()) of the current round, beginning a new round when the
    // list is not the one the round was drawn for.
    std::size_t At(std::string_view folder, std::string_view mask, const std::vector<std::string>& files,
                   std::size_t position);

    // The round's last file has been shown: the next At uses a new order.
    void NextRound();

    // The order of a whole round; for tests and for giving several monitors
    // a file each.
    const std::vector<std::size_t>& Order(std::string_view folder, std::string_view mask,
                                          const std::vector<std::string>& files);

private:
    void Prepare(std::string_view folder, std::string_view mask, const std::vector<std::string>& files);

    SeedSource fresh_;
    bool haveRound_ = false;
    std::uint64_t seed_ = 0;
    std::uint64_t list_ = 0;       // fingerprint of folder, mask and names
    std::string after_;            // the file that ended the round before
    std::string lastShown_;        // the file At gave last (not kept between runs)
    std::vector<std::size_t> order_;
    std::vector<std::string> orderNames_;
    bool orderValid_ = false;
};

}  // namespace vantoria
