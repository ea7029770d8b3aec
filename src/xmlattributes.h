#pragma once

#include <QtGlobal>

#include <pugixml.hpp>

#include <cstddef>

// Element and attribute names of the editor's XML files are a few letters long: comparing them
// here costs less than a call into the C library for each of the millions of names of a large
// stage folder.
inline bool isName(const char* name, const char* wanted) {
    while (*name != '\0' && *name == *wanted) {
        ++name;
        ++wanted;
    }
    return *name == *wanted;
}

// The first attribute of each given name, found in one pass over the element's attributes: the
// files are large, and looking every attribute up by name scans the list again each time. Which
// names are found is kept in a mask of our own, since every question put to a pugixml handle is a
// call into the library; for the same reason the end of the list is told by the empty name of
// the null handle after the last attribute (a parsed attribute has a name). A name that is not
// there leaves a null attribute, which reads as pugixml's defaults.
template <size_t N> struct Attributes {
    explicit Attributes(pugi::xml_node node, const char* const (&names)[N]) {
        static_assert(N <= 32, "one bit per name");
        quint32 missing = (quint32(1) << N) - 1;
        for (pugi::xml_attribute attribute = node.first_attribute();;
             attribute = attribute.next_attribute()) {
            const char* name = attribute.name();
            if (*name == '\0')
                return;
            for (size_t i = 0; i < N; ++i) {
                const quint32 bit = quint32(1) << i;
                if ((missing & bit) && isName(name, names[i])) {
                    found[i] = attribute;
                    missing &= ~bit;
                    break;
                }
            }
            if (missing == 0)
                return;
        }
    }
    pugi::xml_attribute found[N];
};
