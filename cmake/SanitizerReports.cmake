# Sanitizer reports of every process a test starts. The linux-asan preset
# has AddressSanitizer and UBSan write their reports into files under
# TAVO_SANITIZER_REPORTS (log_path), so a fault in a program that a test
# script runs without looking at its exit code (the updater's loader, the
# agent, the stand-ins) fails the run too: a last test, run after all the
# others, fails with the reports found there and clears the folder.
function(tavo_collect_tests directory out)
  get_property(tests DIRECTORY ${directory} PROPERTY TESTS)
  get_property(subdirectories DIRECTORY ${directory} PROPERTY SUBDIRECTORIES)
  foreach(subdirectory ${subdirectories})
    tavo_collect_tests(${subdirectory} more)
    list(APPEND tests ${more})
  endforeach()
  set(${out} ${tests} PARENT_SCOPE)
endfunction()

function(tavo_check_sanitizer_reports)
  tavo_collect_tests(${CMAKE_SOURCE_DIR} tests)
  file(REMOVE_RECURSE ${TAVO_SANITIZER_REPORTS})
  add_test(NAME sanitizer_reports_none
    COMMAND sh -c "if ls -A \"$1\" 2>/dev/null | grep -q .; then tail -n +1 \"$1\"/*; rm -rf \"$1\"; exit 1; fi"
      sh ${TAVO_SANITIZER_REPORTS})
  set_tests_properties(sanitizer_reports_none PROPERTIES DEPENDS "${tests}")
endfunction()
