# Prints why each skipped test was skipped: the lines the test programs
# appended to LOG (TOLP_SKIP_LOG, see CMakeLists.txt) in the test run of the
# same preset.
set(count 0)
if(EXISTS "${LOG}")
  file(STRINGS "${LOG}" lines)
  foreach(line IN LISTS lines)
    message("${line}")
    math(EXPR count "${count} + 1")
  endforeach()
endif()
message("${count} test(s) skipped")
