UPDATE tana_anagrafiche SET sanacodfiscale = 'RSSMRA75C12H199X' WHERE ianaid = 1;
