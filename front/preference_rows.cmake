# SPDX-License-Identifier: MIT
# The preference row of each processor class, by class number (what
# front/classify.cpp returns), best first: the front library loads the first
# build of the machine's row that is present and that the machine can run.
# An old system takes row 0 whatever the processor. Each row names builds by
# their code (variants/CMakeLists.txt); every class's first choice is a
# build of its own, and the table of builds keeps them in class order.
set(ZV_PREFERENCE_ROWS
  "g1"                  # 0: generic, and every processor of an old system
  "g2 g1"               # 1: produced by no processor
  "n1 g1"               # 2: family 5 with MMX: never falls back to G2
  "n2 n1 g2 g1"         # 3: family 6 with MMX
  "s1 n2 n1 g2 g1"      # 4: family 6 with SSE
  "s2 s1 n2 n1 g2 g1")  # 5: family 15 with SSE2
