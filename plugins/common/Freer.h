#pragma once
// A std::unique_ptr deleter that hands the pointer to a C library's own
// release function: std::unique_ptr<TIFF, Freer<TIFFClose>>.

namespace vantoria::spi {

template <auto Release>
struct Freer {
    template <class T>
    void operator()(T* object) const {
        Release(object);
    }
};

}  // namespace vantoria::spi
