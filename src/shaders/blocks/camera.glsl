    vec3 vrp = vec3(0.0, 1.0, 0.0);
    vec3 vuv = vec3(0.0, 1.0, 0.0);
    vec3 vpn = normalize(vrp - prp);
    vec3 u = normalize(cross(vuv, vpn));
    vec3 v = cross(vpn, u);
    vec3 scrCoord = prp + vpn + p.x * 1.77 * u + p.y * v;
    vec3 scp = normalize(scrCoord - prp);
