namespace velboot {}
