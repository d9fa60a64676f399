#pragma once
// Whether a byte string is a whole, undamaged PNG file of a sensible size, checked without
// decoding it: a picture that fails here is not handed to the toolkit.

#include <string>

namespace nx {

// True for the PNG signature followed by chunks whose lengths fit and whose CRCs match, the first
// an IHDR with a valid bit depth and colour type and sides between 1 and maxSide, at least one
// IDAT, and then IEND.
bool IsSoundPng(const std::string& bytes, int maxSide);

}  // namespace nx
