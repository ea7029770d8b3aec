#pragma once

#include <algorithm>
#include <cstddef>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <utility>
#include <vector>

// A list of separately allocated elements: each keeps its address while others are inserted,
// removed or moved, because the canvas, the spawn inspector and the undo steps point into rooms,
// spawns and doors that stay in their lists.
template <typename T> class StableList {
    using Owners = std::vector<std::unique_ptr<T>>;

    // Walks the owners and hands out the elements; sorting through it moves element values, as
    // with any list, so only move() keeps elements where they are.
    template <typename Element, typename OwnerIterator> class Iterator {
    public:
        using iterator_category = std::random_access_iterator_tag;
        using value_type = T;
        using difference_type = std::ptrdiff_t;
        using pointer = Element*;
        using reference = Element&;

        Iterator() = default;
        explicit Iterator(OwnerIterator owner)
            : owner(owner) {}
        // A list's iterator also walks it read-only.
        template <typename Other, typename OtherOwner>
        Iterator(const Iterator<Other, OtherOwner>& other)
            : owner(other.owner) {}

        reference operator*() const { return **owner; }
        pointer operator->() const { return owner->get(); }
        reference operator[](difference_type n) const { return *owner[n]; }

        Iterator& operator++() { return *this += 1; }
        Iterator& operator--() { return *this -= 1; }
        Iterator operator++(int) { return Iterator(owner++); }
        Iterator operator--(int) { return Iterator(owner--); }
        Iterator& operator+=(difference_type n) {
            owner += n;
            return *this;
        }
        Iterator& operator-=(difference_type n) { return *this += -n; }
        Iterator operator+(difference_type n) const { return Iterator(owner + n); }
        Iterator operator-(difference_type n) const { return Iterator(owner - n); }
        friend Iterator operator+(difference_type n, const Iterator& it) { return it + n; }
        difference_type operator-(const Iterator& other) const { return owner - other.owner; }

        bool operator==(const Iterator& other) const { return owner == other.owner; }
        bool operator!=(const Iterator& other) const { return owner != other.owner; }
        bool operator<(const Iterator& other) const { return owner < other.owner; }
        bool operator>(const Iterator& other) const { return owner > other.owner; }
        bool operator<=(const Iterator& other) const { return owner <= other.owner; }
        bool operator>=(const Iterator& other) const { return owner >= other.owner; }

    private:
        template <typename, typename> friend class Iterator;
        friend class StableList;
        OwnerIterator owner;
    };

public:
    using iterator = Iterator<T, typename Owners::iterator>;
    using const_iterator = Iterator<const T, typename Owners::const_iterator>;

    StableList() = default;
    StableList(std::initializer_list<T> elements) {
        reserve(int(elements.size()));
        for (const T& element : elements)
            append(element);
    }
    // Copies are deep: a copy never shares an element with the list it came from.
    StableList(const StableList& other) {
        reserve(other.size());
        for (const T& element : other)
            append(element);
    }
    StableList(StableList&&) noexcept = default;
    StableList& operator=(const StableList& other) {
        if (this != &other)
            *this = StableList(other);
        return *this;
    }
    StableList& operator=(StableList&&) noexcept = default;

    int size() const { return int(owners.size()); }
    bool isEmpty() const { return owners.empty(); }
    void reserve(int count) { owners.reserve(size_t(count)); }
    void clear() { owners.clear(); }

    T& operator[](int i) { return *owners[size_t(i)]; }
    const T& operator[](int i) const { return *owners[size_t(i)]; }
    const T& at(int i) const { return *owners[size_t(i)]; }
    T& last() { return *owners.back(); }
    const T& last() const { return *owners.back(); }

    void append(const T& element) { owners.push_back(std::make_unique<T>(element)); }
    void append(T&& element) { owners.push_back(std::make_unique<T>(std::move(element))); }
    void insert(int i, const T& element) {
        owners.insert(owners.begin() + i, std::make_unique<T>(element));
    }
    void insert(int i, T&& element) {
        owners.insert(owners.begin() + i, std::make_unique<T>(std::move(element)));
    }
    void removeAt(int i) { owners.erase(owners.begin() + i); }
    iterator erase(const_iterator position) { return iterator(owners.erase(position.owner)); }
    iterator erase(const_iterator first, const_iterator last) {
        return iterator(owners.erase(first.owner, last.owner));
    }
    // Puts the element at from at position to; every element keeps its address.
    void move(int from, int to) {
        const auto source = owners.begin() + from;
        const auto target = owners.begin() + to;
        if (from < to)
            std::rotate(source, source + 1, target + 1);
        else
            std::rotate(target, source, source + 1);
    }

    iterator begin() { return iterator(owners.begin()); }
    iterator end() { return iterator(owners.end()); }
    const_iterator begin() const { return const_iterator(owners.begin()); }
    const_iterator end() const { return const_iterator(owners.end()); }
    const_iterator cbegin() const { return begin(); }
    const_iterator cend() const { return end(); }

private:
    Owners owners;
};
