// Placeholder for a library folder that has no code yet.
