DROP TABLE tadef_detrfigli;
