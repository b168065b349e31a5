# Run by cpack once the components are staged and before they are packed:
# a Debian package carries its manual pages and changelogs compressed with
# gzip -9n (no name or time stamp, so the bytes are reproducible).
file(GLOB_RECURSE kv_staged LIST_DIRECTORIES false "${CPACK_TEMPORARY_DIRECTORY}/*")
foreach(doc ${kv_staged})
  if(doc MATCHES "/share/(man/man[0-9]/|doc/[^/]+/changelog)[^/]*$" AND NOT doc MATCHES "\\.gz$")
    execute_process(COMMAND gzip -9nf "${doc}" RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
      message(FATAL_ERROR "gzip failed on ${doc}")
    endif()
  endif()
endforeach()
