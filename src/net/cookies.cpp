// Placeholder: implementation in progress.
