# Builds for the browser, as WebAssembly, with Debian's emscripten (the
# packages emscripten and node-acorn): only the core and what the web page
# needs (the EMSCRIPTEN branch of the top CMakeLists.txt).
#   cmake -S . -B build-web -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/emscripten.cmake -DCMAKE_BUILD_TYPE=Release
#   cmake --build build-web
# scripts/build-web does both, warnings as errors.
#
# What emscripten needs from the environment, and how it gets it here:
# - NODE_PATH=/usr/share/nodejs: linking runs emscripten's JavaScript
#   optimizer under node, which needs acorn; Debian installs it there, where
#   node does not look by itself. Environment set in this file reaches the
#   configure step only, not the build, so every compile and link also runs
#   through `env NODE_PATH=...` (the launchers below).
# - EM_CACHE: emscripten's system libraries and headers. Debian's cache
#   (/usr/share/emscripten/cache) comes built and frozen: it is only read,
#   so it need not be writable. An EM_CACHE set when configuring is used
#   instead, at build time too; emscripten fills it with the libraries a
#   link needs on first use (about 5 minutes on two cores), so it is not
#   frozen (EM_FROZEN_CACHE empty).

# The cache is chosen once, when the build folder is configured: a later
# configure (run by the build when a CMakeLists.txt changed) keeps it.
set(MURVIK_EM_CACHE "$ENV{EM_CACHE}" CACHE PATH "Emscripten's cache (empty: Debian's, read only)")
set(ENV{NODE_PATH} /usr/share/nodejs)
if(MURVIK_EM_CACHE)
  set(ENV{EM_CACHE} "${MURVIK_EM_CACHE}")
  set(ENV{EM_FROZEN_CACHE} "")
  set(murvik_emscripten_env "EM_CACHE=${MURVIK_EM_CACHE}" EM_FROZEN_CACHE=)
else()
  unset(ENV{EM_CACHE})
  set(murvik_emscripten_env -u EM_CACHE -u EM_FROZEN_CACHE)
endif()
list(APPEND murvik_emscripten_env NODE_PATH=/usr/share/nodejs)
include(/usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake)

foreach(lang C CXX)
  set(CMAKE_${lang}_COMPILER_LAUNCHER env ${murvik_emscripten_env})
  set(CMAKE_${lang}_LINKER_LAUNCHER env ${murvik_emscripten_env})
endforeach()
