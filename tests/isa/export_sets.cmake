# SPDX-License-Identifier: MIT
# What each export of a variant library may execute, per build: the
# floating-point and vector sets that the export's code and everything it
# calls may use, beyond the integer sets of the build's row. "-" is integer
# code (values moved as 32-bit words). The SSE set is split: "sse" is SSE
# without its prefetches and non-temporal stores, which are named apart as
# prefetcht0, prefetchnta and ntstore (movntps, movntq, maskmovq); sse2load
# is SSE2's 8-byte vector-register load alone.
set(zv_export_isa_builds s2 s1 n2 n1 g2 g1)
set(zv_export_isa_table
  # exports                   | s2                          | s1                                            | n2      | n1  | g2  | g1
  "qelcFft qelsRealFftNip     | sse sse2load mmx x87        | sse prefetcht0 prefetchnta mmx x87            | mmx x87 | x87 | x87 | x87"
  "qelsbSet                   | sse ntstore                 | sse ntstore                                   | -       | -   | -   | -"
  "qelsbAdd1 qelsbMpy1        | sse                         | sse                                           | x87     | x87 | x87 | x87"
  "qelsbAdd2 qelsbMpy2        | sse ntstore                 | sse ntstore                                   | x87     | x87 | x87 | x87"
  "qelcbConjExtend1           | -                           | -                                             | -       | -   | -   | x87"
  "qelcbReal                  | -                           | -                                             | -       | -   | -   | -"
  "qelcbMag                   | sse prefetcht0 ntstore x87  | sse prefetcht0 ntstore x87                    | x87     | x87 | x87 | x87"
  "qelsMax qelsMin            | sse prefetcht0 x87          | sse prefetcht0 x87                            | x87     | x87 | x87 | x87"
  "qelsbFloatToInt            | sse mmx prefetcht0 ntstore  | sse mmx prefetcht0 ntstore                    | x87     | x87 | x87 | x87"
  "qelsbIntToFloat            | sse mmx                     | sse mmx                                       | x87     | x87 | x87 | x87"
  "qelMalloc qelFree          | -                           | -                                             | -       | -   | -   | -")
