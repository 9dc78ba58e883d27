# Writes the page's service worker from its template: the list of the
# page's files and a version, the digest of those files' names and
# contents, so that every changed build gets a new cache.
#
#   cmake -DSITE=DIR -DFILES=a,b,c -DTEMPLATE=FILE -DOUTPUT=FILE -P make_service_worker.cmake
string(REPLACE "," ";" names "${FILES}")
list(SORT names)
set(listed "")
set(digests "")
foreach(name IN LISTS names)
  file(SHA256 "${SITE}/${name}" digest)
  string(APPEND digests "${name} ${digest}\n")
  list(APPEND listed "'${name}'")
endforeach()
string(SHA256 version "${digests}")
string(SUBSTRING "${version}" 0 16 VERSION)
list(JOIN listed ", " FILES)
configure_file("${TEMPLATE}" "${OUTPUT}" @ONLY)
