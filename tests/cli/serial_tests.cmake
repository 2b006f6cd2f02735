# Read by ctest after the discovered tests of this folder are defined. A run
# at exactly the service's query limit has a few tens of milliseconds to
# spare; on a machine busy with other tests the scheduler takes more than
# that, so this one runs alone.
set_tests_properties("ThrottlingGrabRunTest.ABudgetAtTheLimitHoldsItAndIsNeverThrottled" PROPERTIES RUN_SERIAL TRUE)
