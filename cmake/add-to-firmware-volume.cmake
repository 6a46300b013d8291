# cmake -DBASETOOLS=EDK2/BaseTools -DPYTHON=python3 -DCODE=FILE -DVOLUME=GUID -DFILES="A.ffs;B.ffs"
#       -DOUTPUT=FILE -P add-to-firmware-volume.cmake
#
# A copy of the firmware code image CODE with the firmware files FILES added,
# in that order, to its volume VOLUME, written to OUTPUT. EDK2's FMMT does
# the work, one file a run; it exits 0 even when it fails, so each step is
# judged by what it printed and wrote.
foreach(required BASETOOLS PYTHON CODE VOLUME FILES OUTPUT)
  if(NOT DEFINED ${required})
    message(FATAL_ERROR "add-to-firmware-volume: -D${required}=... is missing")
  endif()
endforeach()

get_filename_component(work ${OUTPUT} DIRECTORY)
file(MAKE_DIRECTORY ${work})
file(REMOVE ${OUTPUT})
set(input ${CODE})
set(step 0)
foreach(ffs IN LISTS FILES)
  math(EXPR step "${step} + 1")
  set(written ${OUTPUT}.step${step})
  file(REMOVE ${written})
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env "PATH=${BASETOOLS}/Source/C/bin:$ENV{PATH}"
            PYTHONPATH=${BASETOOLS}/Source/Python
            ${PYTHON} ${BASETOOLS}/Source/Python/FMMT/FMMT.py -a ${input} ${VOLUME} ${ffs} ${written}
    # FMMT keeps its log in the working directory.
    WORKING_DIRECTORY ${work}
    OUTPUT_VARIABLE said ERROR_VARIABLE said
    RESULT_VARIABLE status)
  if(NOT status EQUAL 0 OR said MATCHES "ERROR|Failed" OR NOT EXISTS ${written})
    message(FATAL_ERROR "FMMT could not add ${ffs} to volume ${VOLUME} of ${input}:\n${said}")
  endif()
  if(NOT input STREQUAL CODE)
    file(REMOVE ${input})
  endif()
  set(input ${written})
endforeach()
file(RENAME ${input} ${OUTPUT})
