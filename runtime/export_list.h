/* SPDX-License-Identifier: MIT */
/* The sixteen exports in ordinal order: ordinals 1 to 16 are their places in
 * this list, which is sorted by name. The version script and the .def file are
 * generated from it by cmake/Exports.cmake; the front library's slots and
 * stubs expand it as an X-macro. No include guard: include it after defining
 * ZV_EXPORT(ordinal, name). */
ZV_EXPORT(1, qelFree)
ZV_EXPORT(2, qelMalloc)
ZV_EXPORT(3, qelcFft)
ZV_EXPORT(4, qelcbConjExtend1)
ZV_EXPORT(5, qelcbMag)
ZV_EXPORT(6, qelcbReal)
ZV_EXPORT(7, qelsMax)
ZV_EXPORT(8, qelsMin)
ZV_EXPORT(9, qelsRealFftNip)
ZV_EXPORT(10, qelsbAdd1)
ZV_EXPORT(11, qelsbAdd2)
ZV_EXPORT(12, qelsbFloatToInt)
ZV_EXPORT(13, qelsbIntToFloat)
ZV_EXPORT(14, qelsbMpy1)
ZV_EXPORT(15, qelsbMpy2)
ZV_EXPORT(16, qelsbSet)
