# Run with cmake -P: writes OUTPUT, one C++ string literal a line, holding every string-table key that
# the product's sources under ROOT/<each of DIRS> name. The content test includes the list, so a key
# added to the code is checked without anybody listing it.
# Keys are looked up only by whole literals ("ORB_IDS_...", "ORB_IDC_...", "ORB_IDD_..."); a key made
# at run time would escape this scan, so the product builds none.
set(keys "")
string(REPLACE "," ";" dirs "${DIRS}")
foreach(dir IN LISTS dirs)
  file(GLOB_RECURSE sources "${ROOT}/${dir}/*.cpp" "${ROOT}/${dir}/*.h")
  foreach(source IN LISTS sources)
    file(STRINGS "${source}" lines REGEX "\"ORB_[A-Z0-9_]+\"")
    foreach(line IN LISTS lines)
      string(REGEX MATCHALL "\"ORB_[A-Z0-9_]+\"" found "${line}")
      list(APPEND keys ${found})
    endforeach()
  endforeach()
endforeach()
list(REMOVE_DUPLICATES keys)
list(SORT keys)
list(LENGTH keys count)
if(count EQUAL 0)
  message(FATAL_ERROR "no string-table key found under ${ROOT} (${DIRS})")
endif()
list(JOIN keys ",\n" text)
# Rewritten only when the keys change, so the test is not rebuilt after every edit of a source.
file(CONFIGURE OUTPUT "${OUTPUT}" CONTENT "${text},\n" @ONLY)
