namespace sim {}
