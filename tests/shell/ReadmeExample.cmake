# Checks that README.md shows examples/host_example.c as it is, and that its
# two set-up commands are `make demo` and `make test`.
#   cmake -DSOURCE=<repository> -P ReadmeExample.cmake
file(READ ${SOURCE}/README.md readme)
file(READ ${SOURCE}/examples/host_example.c example)
string(FIND "${readme}" "${example}" at)
if(at EQUAL -1)
  message(FATAL_ERROR "README.md does not show examples/host_example.c as it is")
endif()
string(FIND "${readme}" "    make demo " demo_at)
string(FIND "${readme}" "    make test " test_at)
string(FIND "${readme}" "## " first_section)
if(demo_at EQUAL -1 OR test_at EQUAL -1 OR demo_at GREATER first_section OR test_at GREATER first_section)
  message(FATAL_ERROR "README.md must open with the two set-up commands make demo and make test")
endif()
