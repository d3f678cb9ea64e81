// Keeps the core library non-empty until the first real source lands; delete then.
