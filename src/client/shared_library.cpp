// The shared library is the whole core (linked as a whole archive); the
// target needs one source file of its own, and this is it. The exported
// entry points live in exported_api.cpp and the record assignments in
// public_records.cpp.
