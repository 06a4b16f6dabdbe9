# cmake -DDIR=folder -DFILES="a;b" -P sha256sums.cmake
# Writes DIR/SHA256SUMS: the SHA-256 of each of FILES (names in DIR), in the
# form `sha256sum -c SHA256SUMS` reads.
set(sums "")
foreach(name ${FILES})
  file(SHA256 "${DIR}/${name}" hash)
  string(APPEND sums "${hash}  ${name}\n")
endforeach()
file(WRITE "${DIR}/SHA256SUMS" "${sums}")
