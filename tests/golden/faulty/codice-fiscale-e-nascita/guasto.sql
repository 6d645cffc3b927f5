UPDATE tana_anagrafiche SET dananascita = '1975-03-21' WHERE ianaid = 1;
