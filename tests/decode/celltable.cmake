diduvuve_gtest(test_celltable SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_celltable.cpp LIBS celltable)
