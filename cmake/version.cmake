# Reads the program's version from ui/resource.h into T6_VERSION (major.minor.
# patch), and stops unless the numbers, the text and the About box's line
# there say the same version.
file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/../ui/resource.h t6_version_lines REGEX "^#define T6_(ABOUT_)?VERSION_")
string(REGEX MATCH "T6_VERSION_NUMBERS ([0-9]+), *([0-9]+), *([0-9]+), *([0-9]+)" t6_version_numbers
       "${t6_version_lines}")
set(T6_VERSION ${CMAKE_MATCH_1}.${CMAKE_MATCH_2}.${CMAKE_MATCH_3})
set(t6_version_full ${T6_VERSION}.${CMAKE_MATCH_4})
string(REGEX MATCH "T6_VERSION_TEXT \"([^\"]*)\"" t6_version_match "${t6_version_lines}")
set(t6_version_text "${CMAKE_MATCH_1}")
string(REGEX MATCH "T6_ABOUT_VERSION_TEXT \"[^\"]* Version ([^\"]*)\"" t6_version_match "${t6_version_lines}")
set(t6_version_about "${CMAKE_MATCH_1}")
if(NOT t6_version_numbers OR NOT t6_version_text STREQUAL t6_version_full
   OR NOT t6_version_about STREQUAL T6_VERSION)
  message(FATAL_ERROR "ui/resource.h: T6_VERSION_NUMBERS (${t6_version_full}), T6_VERSION_TEXT "
                      "(${t6_version_text}) and T6_ABOUT_VERSION_TEXT (${t6_version_about}) must say one version")
endif()
