# Installs the test's node modules from package-lock.json when they are
# missing or older than the lock file; else does nothing.
#   cmake -DNPM=/usr/bin/npm -DDIR=tests/browser -P npm_ci.cmake
set(installed ${DIR}/node_modules/.package-lock.json)
if(EXISTS ${DIR}/node_modules/puppeteer-core/package.json AND EXISTS ${installed}
   AND NOT ${DIR}/package-lock.json IS_NEWER_THAN ${installed})
  message(STATUS "node modules of ${DIR} are up to date")
  return()
endif()
# puppeteer-core downloads nothing; the variable keeps it so should that
# ever change.
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env PUPPETEER_SKIP_DOWNLOAD=1
    ${NPM} ci --no-audit --no-fund --loglevel=error
  WORKING_DIRECTORY ${DIR}
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "npm ci in ${DIR} failed (${result}): the npm registry is needed once")
endif()
