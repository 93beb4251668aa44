"""The Quillbay studio server, standard library only."""
