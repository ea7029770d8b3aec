#pragma once

#include <algorithm>
#include <cstddef>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <new>
#include <utility>
#include <vector>

// A list of separately allocated elements: each keeps its address while others are inserted,
// removed or moved, because the canvas, the spawn inspector and the undo steps point into rooms,
// spawns and doors that stay in their lists.
template <typename T> class StableList {
    using Pointers = std::vector<T*>;

    // Walks the element pointers and hands out the elements; sorting through it moves element
    // values, as with any list, so only move() keeps elements where they are.
    template <typename Element, typename PointerIterator> class Iterator {
    public:
        using iterator_category = std::random_access_iterator_tag;
        using value_type = T;
        using difference_type = std::ptrdiff_t;
        using pointer = Element*;
        using reference = Element&;

        Iterator() = default;
        explicit Iterator(PointerIterator position)
            : position(position) {}
        // A list's iterator also walks it read-only.
        template <typename Other, typename OtherPointer>
        Iterator(const Iterator<Other, OtherPointer>& other)
            : position(other.position) {}

        reference operator*() const { return **position; }
        pointer operator->() const { return *position; }
        reference operator[](difference_type n) const { return *position[n]; }

        Iterator& operator++() { return *this += 1; }
        Iterator& operator--() { return *this -= 1; }
        Iterator operator++(int) { return Iterator(position++); }
        Iterator operator--(int) { return Iterator(position--); }
        Iterator& operator+=(difference_type n) {
            position += n;
            return *this;
        }
        Iterator& operator-=(difference_type n) { return *this += -n; }
        Iterator operator+(difference_type n) const { return Iterator(position + n); }
        Iterator operator-(difference_type n) const { return Iterator(position - n); }
        friend Iterator operator+(difference_type n, const Iterator& it) { return it + n; }
        difference_type operator-(const Iterator& other) const { return position - other.position; }

        bool operator==(const Iterator& other) const { return position == other.position; }
        bool operator!=(const Iterator& other) const { return position != other.position; }
        bool operator<(const Iterator& other) const { return position < other.position; }
        bool operator>(const Iterator& other) const { return position > other.position; }
        bool operator<=(const Iterator& other) const { return position <= other.position; }
        bool operator>=(const Iterator& other) const { return position >= other.position; }

    private:
        template <typename, typename> friend class Iterator;
        friend class StableList;
        PointerIterator position;
    };

public:
    using iterator = Iterator<T, typename Pointers::iterator>;
    using const_iterator = Iterator<const T, typename Pointers::const_iterator>;

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
    StableList(StableList&& other) noexcept { swap(other); }
    StableList& operator=(StableList other) noexcept {
        swap(other);
        return *this;
    }
    ~StableList() { clear(); }

    int size() const { return int(elements.size()); }
    bool isEmpty() const { return elements.empty(); }
    // On an empty list, also makes room for that many elements in one block: loads and copies
    // build lists of thousands of rooms and spawns, and one allocation each would dominate them.
    void reserve(int count) {
        if (elements.empty() && count > 0) {
            block.reset(new Slot[size_t(count)]);
            blockSize = count;
            blockUsed = 0;
        }
        elements.reserve(size_t(count));
    }
    void clear() {
        for (T* element : elements)
            destroy(element);
        elements.clear();
        block.reset();
        blockSize = blockUsed = 0;
    }

    T& operator[](int i) { return *elements[size_t(i)]; }
    const T& operator[](int i) const { return *elements[size_t(i)]; }
    const T& at(int i) const { return *elements[size_t(i)]; }
    T& last() { return *elements.back(); }

    void append(const T& element) { elements.push_back(create(element)); }
    void append(T&& element) { elements.push_back(create(std::move(element))); }
    void insert(int i, const T& element) { elements.insert(elements.begin() + i, create(element)); }
    void insert(int i, T&& element) {
        elements.insert(elements.begin() + i, create(std::move(element)));
    }
    void removeAt(int i) { erase(begin() + i, begin() + i + 1); }
    iterator erase(const_iterator position) { return erase(position, position + 1); }
    iterator erase(const_iterator first, const_iterator last) {
        for (auto element = first.position; element != last.position; ++element)
            destroy(*element);
        return iterator(elements.erase(first.position, last.position));
    }
    // Puts the element at from at position to; every element keeps its address.
    void move(int from, int to) {
        const auto source = elements.begin() + from;
        const auto target = elements.begin() + to;
        if (from < to)
            std::rotate(source, source + 1, target + 1);
        else
            std::rotate(target, source, source + 1);
    }

    iterator begin() { return iterator(elements.begin()); }
    iterator end() { return iterator(elements.end()); }
    const_iterator begin() const { return const_iterator(elements.begin()); }
    const_iterator end() const { return const_iterator(elements.end()); }
    const_iterator cbegin() const { return begin(); }
    const_iterator cend() const { return end(); }

private:
    struct Slot {
        alignas(T) unsigned char bytes[sizeof(T)];
    };

    // Slots of the block are handed out once, in order: a removed element's slot is not reused,
    // and the block goes when the list is cleared, destroyed or reserved anew while empty.
    template <typename Value> T* create(Value&& value) {
        if (blockUsed < blockSize)
            return new (&block[size_t(blockUsed++)]) T(std::forward<Value>(value));
        return new T(std::forward<Value>(value));
    }
    void destroy(T* element) {
        const std::less<const void*> before;
        if (block && !before(element, block.get()) && before(element, block.get() + blockSize))
            element->~T();
        else
            delete element;
    }
    void swap(StableList& other) noexcept {
        elements.swap(other.elements);
        block.swap(other.block);
        std::swap(blockSize, other.blockSize);
        std::swap(blockUsed, other.blockUsed);
    }

    Pointers elements;
    std::unique_ptr<Slot[]> block;
    int blockSize = 0;
    int blockUsed = 0;
};
