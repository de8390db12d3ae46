// The records of the references held now, by number. A run hands out a
// reference for every property it looks up, and holds only a few at once:
// the records sit in one array (open addressing, linear probing), so a
// reference costs no allocation of its own, and the array is only ever as
// large as the most references held at once needs.
#ifndef PORTPROBE_STANDIN_LIVE_TABLE_H
#define PORTPROBE_STANDIN_LIVE_TABLE_H

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace standin {

// Key 0 is never a key: it marks a free slot. Record must be
// default-constructible and movable.
template <class Key, class Record>
class LiveTable {
public:
    std::size_t size() const { return count_; }

    Record *find(Key key)
    {
        std::size_t at = locate(key);
        return at == npos ? nullptr : &slots_[at].record;
    }
    const Record *find(Key key) const
    {
        std::size_t at = locate(key);
        return at == npos ? nullptr : &slots_[at].record;
    }

    // Adds a default record under a key that is not in the table, for the
    // caller to fill in. Pointers to records are good only until the next
    // insert or take.
    Record &insert(Key key)
    {
        if ((count_ + 1) * 2 > slots_.size()) {
            grow();
        }
        std::size_t at = home(key);
        while (slots_[at].key != 0) {
            at = (at + 1) & mask_;
        }
        slots_[at].key = key;
        ++count_;
        return slots_[at].record;
    }

    // Moves the record under key (which must be there) into taken, and
    // removes it.
    void take(Key key, Record &taken)
    {
        std::size_t hole = locate(key);
        taken = std::move(slots_[hole].record);
        // Backward-shift deletion: every record that follows in the same
        // run and may live nearer its home slot moves into the hole, so
        // that lookups never need markers of removed records.
        for (std::size_t next = (hole + 1) & mask_; slots_[next].key != 0;
             next = (next + 1) & mask_) {
            std::size_t wanted = home(slots_[next].key);
            bool between = hole <= next ? (hole < wanted && wanted <= next)
                                        : (hole < wanted || wanted <= next);
            if (!between) {
                slots_[hole].key = slots_[next].key;
                slots_[hole].record = std::move(slots_[next].record);
                hole = next;
            }
        }
        slots_[hole].key = 0;
        slots_[hole].record = Record();
        --count_;
    }

    // Calls visit(key, record) for every record, in no particular order.
    template <class Visit>
    void forEach(Visit &&visit) const
    {
        for (const Slot &slot : slots_) {
            if (slot.key != 0) {
                visit(slot.key, slot.record);
            }
        }
    }

private:
    struct Slot {
        Key key = 0;
        Record record;
    };
    static constexpr std::size_t npos = ~std::size_t{0};

    // Fibonacci hashing spreads the consecutive numbers that references
    // get over the whole array.
    std::size_t home(Key key) const
    {
        return static_cast<std::size_t>((std::uint64_t{key} * 0x9e3779b97f4a7c15ULL) >> shift_);
    }

    std::size_t locate(Key key) const
    {
        if (count_ == 0 || key == 0) {
            return npos;
        }
        for (std::size_t at = home(key);; at = (at + 1) & mask_) {
            if (slots_[at].key == key) {
                return at;
            }
            if (slots_[at].key == 0) {
                return npos;
            }
        }
    }

    void grow()
    {
        std::vector<Slot> old = std::move(slots_);
        unsigned bits = 6; // 64 slots at first, then twice as many each time
        while ((std::size_t{1} << bits) < old.size() * 2) {
            ++bits;
        }
        slots_ = std::vector<Slot>(std::size_t{1} << bits);
        mask_ = slots_.size() - 1;
        shift_ = 64 - bits;
        count_ = 0;
        for (Slot &slot : old) {
            if (slot.key != 0) {
                insert(slot.key) = std::move(slot.record);
            }
        }
    }

    std::vector<Slot> slots_;
    std::size_t mask_ = 0; // the number of slots less one
    std::size_t count_ = 0;
    unsigned shift_ = 63; // set by grow(), which comes before any use
};

// The last few records released, so that a late use can still name what it
// used; the oldest is dropped when a new one comes.
template <class Key, class Record>
class ReleasedRecords {
public:
    explicit ReleasedRecords(std::size_t kept) : kept_(kept) {}

    // The place for the record released under key, which the caller fills
    // in; it may still hold the oldest record, to be overwritten.
    Record &keep(Key key)
    {
        if (items_.size() < kept_) {
            items_.emplace_back(key, Record());
            return items_.back().second;
        }
        std::pair<Key, Record> &item = items_[oldest_];
        if (++oldest_ == kept_) {
            oldest_ = 0;
        }
        item.first = key;
        return item.second;
    }

    const Record *find(Key key) const
    {
        for (const auto &item : items_) {
            if (item.first == key) {
                return &item.second;
            }
        }
        return nullptr;
    }

private:
    std::size_t kept_;
    std::vector<std::pair<Key, Record>> items_;
    std::size_t oldest_ = 0;
};

} // namespace standin

#endif
