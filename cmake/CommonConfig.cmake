# SPDX-License-Identifier: GPL-3.0-or-later
# Build settings shared by every Tavrix target: link tavrix_common.
set(CMAKE_CXX_STANDARD 20)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)
set(CMAKE_POSITION_INDEPENDENT_CODE ON)

option(TAVRIX_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)

add_library(tavrix_common INTERFACE)
target_compile_options(tavrix_common INTERFACE -Wall -Wextra -pedantic -Wold-style-cast)
target_compile_definitions(tavrix_common INTERFACE
  QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
  QT_NO_URL_CAST_FROM_STRING)

if(TAVRIX_SANITIZE)
  target_compile_options(tavrix_common INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(tavrix_common INTERFACE -fsanitize=address,undefined)
endif()

# The Release build (the one the Debian package is made from) gets the
# hardening Debian builds its own packages with, plus immediate binding. The
# Windows build has no ELF to harden and no libssp to link.
if(NOT WIN32)
  target_compile_options(tavrix_common INTERFACE
    $<$<CONFIG:Release>:-fstack-protector-strong -D_FORTIFY_SOURCE=2 -Wformat -Werror=format-security>)
  target_link_options(tavrix_common INTERFACE $<$<CONFIG:Release>:LINKER:-z,relro,-z,now>)
else()
  # Unicode Win32 calls; no min/max macros in the way of std::min.
  target_compile_definitions(tavrix_common INTERFACE UNICODE _UNICODE NOMINMAX WIN32_LEAN_AND_MEAN)
endif()
