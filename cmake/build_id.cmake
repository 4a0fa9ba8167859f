# Run at every build of kalveno-mpi: writes the identifier of the build, which
# each rank of a job compares with rank 0's before any work. It is the
# version and a digest of the program's sources, of the build's description
# (CMakeLists.txt) and of the compiler's name and version: unlike a commit,
# it sees edits not yet committed, and it needs no git. The header is
# rewritten only when the identifier changes, so that nothing is rebuilt for
# nothing.
#   -D SOURCE_DIR=... -D OUTPUT=... -D VERSION=... -D COMPILER=...
file(GLOB_RECURSE sources RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/src/*.cpp ${SOURCE_DIR}/src/*.h)
list(SORT sources)
set(listing "${COMPILER}\n")
foreach(source IN LISTS sources ITEMS CMakeLists.txt)
  file(SHA256 ${SOURCE_DIR}/${source} digest)
  string(APPEND listing "${source} ${digest}\n")
endforeach()
string(SHA256 digest "${listing}")
string(SUBSTRING ${digest} 0 16 digest)
set(content "// The identifier of this build of kalveno-mpi, written by cmake/build_id.cmake.\n#pragma once\n")
string(APPEND content "#define KALVENO_BUILD_ID \"${VERSION}+${digest}\"\n")
set(earlier "")
if(EXISTS ${OUTPUT})
  file(READ ${OUTPUT} earlier)
endif()
if(NOT earlier STREQUAL content)
  file(WRITE ${OUTPUT} "${content}")
endif()
