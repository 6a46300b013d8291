# Unity builds in batches: a target's .cpp sources are compiled a few at a
# time in one translation unit, so GoogleTest, nlohmann-json and the C++
# library headers are parsed, and their templates instantiated, once a
# batch rather than once a file. Helpers in a source's anonymous namespace
# therefore need names of their own across the files of their target.
# Sources with compile options of their own (the optimised chipset read
# path) stay alone. CMake's own unity files include each source by its
# absolute path, which __FILE__ then carries into the object: these batches
# include them by their path in the clone, so every clone compiles the same
# text and ccache serves them all.
#
#   boardcfg_unity_batches(TARGET [BATCH_SIZE N])   N defaults to 6
function(boardcfg_unity_batches target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "BATCH_SIZE" "")
  set(batchSize 6)
  if(arg_BATCH_SIZE)
    set(batchSize ${arg_BATCH_SIZE})
  endif()
  get_target_property(sources ${target} SOURCES)
  get_target_property(sourceDir ${target} SOURCE_DIR)
  get_target_property(binaryDir ${target} BINARY_DIR)
  set(batch "")
  set(count 0)
  set(index 0)
  set(batches "")
  foreach(source IN LISTS sources)
    if(NOT source MATCHES "\\.cpp$")
      continue()
    endif()
    cmake_path(ABSOLUTE_PATH source BASE_DIRECTORY ${sourceDir} OUTPUT_VARIABLE path)
    get_source_file_property(ownOptions ${path} TARGET_DIRECTORY ${target} COMPILE_OPTIONS)
    if(ownOptions)
      continue()
    endif()
    file(RELATIVE_PATH inClone ${PROJECT_SOURCE_DIR} ${path})
    string(APPEND batch "#include \"${inClone}\"\n")
    set_source_files_properties(${path} TARGET_DIRECTORY ${target}
                                PROPERTIES HEADER_FILE_ONLY ON)
    math(EXPR count "${count} + 1")
    if(count EQUAL batchSize)
      set(file ${binaryDir}/${target}_batch_${index}.cpp)
      file(GENERATE OUTPUT ${file} CONTENT "${batch}")
      list(APPEND batches ${file})
      math(EXPR index "${index} + 1")
      set(batch "")
      set(count 0)
    endif()
  endforeach()
  if(count GREATER 0)
    set(file ${binaryDir}/${target}_batch_${index}.cpp)
    file(GENERATE OUTPUT ${file} CONTENT "${batch}")
    list(APPEND batches ${file})
  endif()
  target_sources(${target} PRIVATE ${batches})
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR})
endfunction()
