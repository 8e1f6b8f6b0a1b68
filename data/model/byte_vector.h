// A growable byte buffer whose new bytes are left uninitialised: for buffers that are filled
// right after they grow (received message units, encoded data sets), where zero-filling would
// touch every page twice.
#pragma once

#include <cstdint>
#include <memory>
#include <new>
#include <type_traits>
#include <vector>

namespace pella {

template <typename T, typename Base = std::allocator<T>>
struct DefaultInitAllocator : Base {
    template <typename U>
    struct rebind {
        using other = DefaultInitAllocator<U, typename std::allocator_traits<Base>::template rebind_alloc<U>>;
    };
    using Base::Base;
    DefaultInitAllocator() = default;

    template <typename U>
    void construct(U* place) noexcept(std::is_nothrow_default_constructible_v<U>) {
        ::new (static_cast<void*>(place)) U;
    }
    template <typename U, typename... Args>
    void construct(U* place, Args&&... args) {
        std::allocator_traits<Base>::construct(static_cast<Base&>(*this), place, std::forward<Args>(args)...);
    }
};

using ByteVector = std::vector<uint8_t, DefaultInitAllocator<uint8_t>>;

}  // namespace pella
