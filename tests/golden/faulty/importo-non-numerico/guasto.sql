UPDATE tvarr_varritenute SET fvarrritdip = '1.234,50' WHERE ivarrid = (SELECT min(v.ivarrid) FROM tvarr_varritenute v JOIN tregs_registri r ON r.iregsid = v.iregsid WHERE r.iacomid = 101);
